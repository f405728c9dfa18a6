#include <gtest/gtest.h>

#include <fstream>

#include "model/json_text.h"
#include "storage/factory_songs.h"
#include "storage/store.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;

namespace {

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::filesystem::path& path) { return readWholeFile(path).value_or("<missing>"); }

// What start-up does with the database.
void startUp(StorageWrapper<DB>& db, const std::filesystem::path& file) {
    if (!db.load(file))
        db.edit().loadFactoryDefault();
    db.edit().ensureFactorySongsAvailable();
}

TEST(Database, FreshInstallationGetsTheFactoryDatabaseAndWritesNothing) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    StorageWrapper<DB> db;
    startUp(db, file);

    ASSERT_EQ(db->timetables.size(), 1u);
    const TimeTable& tt = db->timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
    for (int i : {0, 1}) {
        EXPECT_EQ(tt.chAt(i).startOfClass.id, "ID_melody");
        EXPECT_EQ(tt.chAt(i).endOfClass.id, "ID_melody");
        EXPECT_EQ(tt.chAt(i).preStart.id, "ID_ping");
        EXPECT_EQ(tt.chAt(i).preEnd.id, "ID_ping");
        EXPECT_EQ(tt.chAt(i).lessons, Lesson::defaults());
        EXPECT_FALSE(tt.chAt(i).startOfClass.doRepeat);
    }
    ASSERT_EQ(db->songs.size(), FACTORY_SONGS.size());
    std::size_t i = 0;
    for (const auto& [id, song] : db->songs) {
        const FactorySong& row = FACTORY_SONGS[i++];
        EXPECT_EQ(id, row.id);
        EXPECT_EQ(song.name, row.name);
        EXPECT_EQ(song.filename, row.filename);
        EXPECT_EQ(song.lengthSec, row.lengthSec);
        EXPECT_EQ(song.md5, row.md5);
        EXPECT_EQ(song.storageCategory, AudioAssetCategory::BUILT_IN_SIGNAL);
    }
    EXPECT_EQ(db->settings.defaultTimetableId, FACTORY_DEFAULT_TIMETABLE_ID);

    EXPECT_FALSE(db.saveAuto()) << "the first pass only takes the baseline";
    EXPECT_FALSE(db.saveAuto());
    EXPECT_FALSE(std::filesystem::exists(file));

    db.edit().settings.schedulerEnable = false;
    EXPECT_TRUE(db.saveAuto());
    EXPECT_FALSE(db.saveAuto());
    const std::string text = readText(file);
    EXPECT_EQ(text, to_json(*db));
    EXPECT_TRUE(text.starts_with("{\"dbVersion\": 2, \"settings\": {\"defaultTimetableId\""));
    EXPECT_NE(text.back(), '\n');
    for (unsigned char c : text)
        ASSERT_LT(c, 0x80);
}

TEST(Database, ReloadsWhatItWrote) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    StorageWrapper<DB> db;
    startUp(db, file);
    db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).name = "\xC3\x81ltal\xC3\xA1nos"; // non-ASCII name
    db.edit().programmes.add(Programme{"ID_ring", Date(2026, 12, 8), TimeOfDay(9, 0, 30)}, "p1");
    db.saveForce();

    StorageWrapper<DB> again;
    ASSERT_TRUE(again.load(file));
    EXPECT_TRUE(*again == *db);
    EXPECT_EQ(to_json(*again), readText(file));
}

TEST(Database, SaveAutoWritesOnceForSeveralChangesAndAgainAfterTheNext) {
    TempDir dir;
    StorageWrapper<DB> db;
    startUp(db, dir.path() / "_db.json");
    db.saveAuto();
    db.edit().settings.alarmDelaySec = 1.5;
    db.edit().settings.calendar.syncRegionId = "de";
    EXPECT_TRUE(db.saveAuto());
    EXPECT_FALSE(db.saveAuto());
    db.edit().settings.calendar.syncRegionId = "hu";
    EXPECT_TRUE(db.saveAuto());
    EXPECT_EQ(from_json<DB>(readText(dir.path() / "_db.json")).settings.calendar.syncRegionId, "hu");
}

TEST(Database, VersionOneMigratesItsSignals) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    writeText(file, R"({"dbVersion": 1, "signals": {"s1": {"name": "old bell", "filename": "a.mp3", )"
                    R"("lastModified": "2020-01-02T03:04:05"}}, "timetables": {"t": {"name": "Old"}}})");
    StorageWrapper<DB> db;
    startUp(db, file);
    EXPECT_EQ(db->dbVersion, 2);
    ASSERT_TRUE(db->songs.contains("s1"));
    EXPECT_EQ(db->songs.at(0).name, "old bell");
    EXPECT_EQ(db->songs.size(), 1u + FACTORY_SONGS.size());
    EXPECT_EQ(db->timetables.get("t").name, "Old");

    db.saveAuto();
    db.edit().settings.schedulerEnable = false;
    ASSERT_TRUE(db.saveAuto());
    const Json written = parseJsonText(readText(file));
    EXPECT_EQ(written["dbVersion"], 2);
    EXPECT_TRUE(written["songs"].contains("s1"));
    EXPECT_FALSE(written.contains("signals"));
}

TEST(Database, VersionOneWithoutSignalsHasNoSongsOfItsOwn) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    writeText(file, R"({"dbVersion": 1})");
    StorageWrapper<DB> db;
    ASSERT_TRUE(db.load(file));
    EXPECT_EQ(db->songs.size(), 0u);
    db.edit().ensureFactorySongsAvailable();
    EXPECT_EQ(db->songs.size(), FACTORY_SONGS.size());
}

TEST(Database, OtherVersionsAreRefusedAndKeptOnDisk) {
    for (const char* text : {R"({"settings": {}})", R"({"dbVersion": 0})", R"({"dbVersion": 3})",
                             R"({"dbVersion": "2"})", R"([1, 2])"}) {
        TempDir dir;
        const auto file = dir.path() / "_db.json";
        writeText(file, text);
        StorageWrapper<DB> db;
        EXPECT_FALSE(db.load(file)) << text;
        EXPECT_EQ(db->songs.size(), 0u) << "the document keeps its content";
        EXPECT_EQ(readText(file), text) << "a refused file is not deleted";
        EXPECT_EQ(db.path(), file) << "a later save writes to the refused file's path";
    }
}

TEST(Database, FactorySongWithAnotherMd5GetsTheTablesAndKeepsItsName) {
    TempDir dir;
    const auto file = dir.path() / "_db.json";
    StorageWrapper<DB> db;
    db.edit().loadFactoryDefault();
    db.edit().ensureFactorySongsAvailable();
    AudioAsset& ping = db.edit().songs.get("ID_ping");
    ping.md5 = "00000000000000000000000000000000";
    ping.name = "Our ping";
    ping.lengthSec = 42;
    db.edit().songs.remove("ID_alarm");
    const auto pingKeyPosition = 2;
    db.load(file); // missing file: the document keeps its content, now with a path
    db.saveForce();

    StorageWrapper<DB> again;
    startUp(again, file);
    const AudioAsset& mended = again->songs.get("ID_ping");
    EXPECT_EQ(mended.md5, FACTORY_SONGS[pingKeyPosition].md5);
    EXPECT_EQ(mended.name, "Our ping");
    EXPECT_EQ(mended.lengthSec, 42);
    EXPECT_TRUE(again->songs.contains("ID_alarm")) << "a deleted built-in signal comes back";
    EXPECT_EQ(std::prev(again->songs.end())->first, "ID_alarm") << "appended at the end";
}

TEST(Database, MissingOrUnreadableFilesAnswerFalse) {
    TempDir dir;
    StorageWrapper<DB> db;
    EXPECT_FALSE(db.load(dir.path() / "nothing.json"));
    EXPECT_FALSE(db.load(dir.path())) << "a directory cannot be read as a file";
}

TEST(Database, BrokenFilesFailWithOneLineNamingTheFile) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"dbVersion": 2, "settings": )", "the file is not valid JSON (parse error at line 1, column 30: "},
        {"", "the file is not valid JSON"},
        {R"({"dbVersion": 2, "timetables": {"t": {"chA": {"lessons": ["8:00 - 25:00"]}}}})",
         R"(Invalid value for "timetables.t.chA.lessons[0]": cannot read "8:00 - 25:00")"},
        {R"({"dbVersion": 2, "settings": {"calendar": {"workdayMode": "weekdays"}}})",
         R"(Invalid value for "settings.calendar.workdayMode": expected an integer, got a string)"},
    };
    for (const auto& [text, reason] : cases) {
        TempDir dir;
        const auto file = dir.path() / "_db.json";
        writeText(file, text);
        StorageWrapper<DB> db;
        db.edit().loadFactoryDefault();
        try {
            db.load(file);
            ADD_FAILURE() << text;
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_TRUE(message.starts_with("Cannot load " + file.string() + ": ")) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
        EXPECT_EQ(db->timetables.size(), 1u) << "nothing half-loaded";
    }
}

TEST(Database, FailedSaveKeepsTheOldFileAndRetriesOnTheNextPass) {
    TempDir dir;
    const auto sub = dir.path() / "data";
    std::filesystem::create_directory(sub);
    const auto file = sub / "_db.json";
    StorageWrapper<DB> db;
    startUp(db, file);
    db.saveAuto();
    db.edit().settings.alarmSignalId = "first";
    ASSERT_TRUE(db.saveAuto());
    const std::string first = readText(file);

    std::filesystem::permissions(sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    db.edit().settings.alarmSignalId = "second";
    const bool writable = ::access(sub.c_str(), W_OK) == 0; // root ignores directory permissions
    if (!writable) {
        EXPECT_THROW(db.saveAuto(), Error);
        EXPECT_EQ(readText(file), first);
    }
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
    if (!writable) {
        EXPECT_TRUE(db.saveAuto()) << "the failed write is retried";
    }

    std::filesystem::remove_all(sub); // the directory vanished
    db.edit().settings.alarmSignalId = "third";
    EXPECT_THROW(db.saveAuto(), Error);
    std::filesystem::create_directory(sub);
    EXPECT_TRUE(db.saveAuto());
    EXPECT_EQ(from_json<DB>(readText(file)).settings.alarmSignalId, "third");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sub), {}), 1) << "no temporary file left";
}

TEST(Cache, LoadCalendarEntriesReplacesTheRegions) {
    StorageWrapper<Cache> cache;
    cache.edit().calendarRegions.add(CalendarRegion{"Old"}, "old");
    cache.edit().loadCalendarEntries(Json::parse(R"({"hu": {"name": "Hungary", "holidays": ["2026-12-25"]}, "at": {}})"),
                               7, "2026-12-08");
    EXPECT_EQ(cache->calendarVersion, 7);
    EXPECT_EQ(cache->calendarLastUpdated, "2026-12-08");
    ASSERT_EQ(cache->calendarRegions.size(), 2u);
    EXPECT_EQ(cache->calendarRegions.at(0).holidays, std::vector<std::string>{"2026-12-25"});
    EXPECT_FALSE(cache->calendarRegions.contains("old"));

    cache.edit().loadCalendarEntries(Json::object(), 8, "2026-12-09");
    EXPECT_EQ(cache->calendarRegions.size(), 0u);
    EXPECT_EQ(cache->calendarVersion, 8);
    EXPECT_EQ(cache->calendarLastUpdated, "2026-12-09");

    EXPECT_THROW(cache.edit().loadCalendarEntries(Json::parse(R"({"x": {"holidays": "2026-12-25"}})"), 9, "2026-12-10"),
                 InvalidValueError);
    EXPECT_EQ(cache->calendarVersion, 8) << "a failed update changes nothing";
}

TEST(Cache, AnyParsableFileIsAccepted) {
    TempDir dir;
    const auto file = dir.path() / "cache.json";
    writeText(file, R"({"calendarVersion": 3, "calendarRegions": {"hu": {"name": "Hungary"}}})");
    StorageWrapper<Cache> cache;
    ASSERT_TRUE(cache.load(file));
    EXPECT_EQ(cache->calendarVersion, 3);
    EXPECT_EQ(cache->calendarRegions.get("hu").name, "Hungary");
    EXPECT_EQ(to_json(*cache), R"({"calendarRegions": {"hu": {"name": "Hungary", "preferredWorkdayMode": 7, )"
                               R"("provideHolidays": true, "validUntil": "", "holidays": [], "schoolBreaks": [], )"
                               R"("extraWorkdays": []}}, "calendarVersion": 3, "calendarLastUpdated": ""})");
}

} // namespace
