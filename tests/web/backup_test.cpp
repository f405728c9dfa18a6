// Backups over HTTP: a round trip onto a fresh data directory that rings the same bells, each
// refusal of a restore, and each restore that fails half-way, after which not a byte or mode on
// disk nor anything in memory has changed.
#include <cstring>
#include <fstream>
#include <map>

#include "scheduling/scheduler.h"
#include "storage/atomic_file.h"
#include "storage/backup.h"
#include "storage/temporary_names.h"
#include "storage/zip_archive.h"
#include "support/hand_made_zip.h"
#include "support/wave_file.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
namespace fs = std::filesystem;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;
using Snapshot = std::map<std::string, std::pair<std::string, fs::perms>>;
using Strings = std::vector<std::string>;

// Names of sound files as uploads get them, in the order of their names.
const std::string FIRST = "0f8fad5b-d9cb-469f-a165-70867728950e.wav";
const std::string SECOND = "7c9e6679-7425-40de-944b-e07fc1f90ae7.wav";

// A database with one song for each file name.
std::string songsNaming(const Strings& files) {
    Json songs = Json::object();
    for (const std::string& file : files)
        songs[file] = {{"name", "Gong"}, {"filename", file}};
    return Json{{"dbVersion", 2}, {"songs", songs}}.dump();
}

// Makes the entry `name` of a zip archive claim `size` as its unpacked size, in its local header
// and in the central directory.
void claimSize(std::string& zip, const std::string& name, std::uint32_t size) {
    for (const auto& [signature, nameAt, sizeAt] : {std::tuple{"PK\x03\x04", 30, 22}, std::tuple{"PK\x01\x02", 46, 24}})
        for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4))
            if (zip.compare(at + nameAt, name.size(), name) == 0)
                std::memcpy(&zip[at + sizeAt], &size, 4);
}

// Every file and directory below `dir` with its content (none for a directory) and its mode.
Snapshot snapshotOf(const fs::path& dir) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[fs::relative(entry.path(), dir).string()] = {
            entry.is_regular_file() ? readWholeFile(entry.path()).value() : "", entry.symlink_status().permissions()};
    return files;
}

struct Backups : WebTest {
    Browser b = browser();
    TempDir scratch;

    // A zip archive of `entries`, as its bytes.
    std::string zipOf(const Entries& entries) {
        const fs::path file = scratch.path() / "made.zip";
        ZipWriter zip(file);
        for (const auto& [name, content] : entries)
            zip.addText(name, content);
        zip.close();
        return readWholeFile(file).value();
    }
    // Uploads a signal and lets the first lesson start with it; answers its key.
    std::string signalOnTheFirstLesson() {
        writeToneWave(scratch.path() / "gong.wav", 0.5, 440);
        const auto answer = b.upload({{"file", readWholeFile(scratch.path() / "gong.wav").value(), "Gong.wav", ""}});
        const std::string key = jsonOf(answer).get<std::string>();
        std::scoped_lock lock(docs.mutex);
        TimeTable& tt = db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {Lesson::decode("10:01 - 10:45")};
        tt.chA.startOfClass.id = key;
        return key;
    }
    // GET /backup, once the server has let go of the archive it made for the answer.
    httplib::Result takeBackup() {
        auto answer = b.get("/backup");
        const auto leftover = [&] {
            for (const auto& [name, content] : snapshotOf(dataDir()))
                if (isTemporaryFileName(name))
                    return true;
            return false;
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (leftover() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(leftover()) << "the archive made for the answer stays behind";
        return answer;
    }
    httplib::Result restore(const std::string& archive) {
        return b.upload({{"file", archive, "backup.zip", "application/zip"}}, "/restore");
    }
    // The three documents in memory.
    std::string memory() {
        const Documents& read = docs;
        std::scoped_lock lock(docs.mutex);
        return to_json(*read.db) + to_json(*read.cache) + to_json(*read.shadow);
    }
};

TEST_F(Backups, ARoundTripOntoAFreshDataDirectoryRingsTheSameBells) {
    setPassword(b, "bell-tower");
    const std::string key = signalOnTheFirstLesson();
    ASSERT_TRUE(saveDocumentsNow());
    const auto backup = takeBackup();
    ASSERT_EQ(backup->status, 200) << backup->body;
    EXPECT_EQ(backup->get_header_value("Content-Disposition"),
              "attachment; filename=\"tollwick-backup-2024-09-02.zip\"");
    Strings names;
    const ZipReader archive(backup->body, MAX_BACKUP_ENTRIES);
    for (const auto& entry : archive.entries())
        names.push_back(entry.name);
    EXPECT_EQ(names, (Strings{"_db.json", "cache.json", key + ".wav"})) << "never the password store";
    EXPECT_EQ(snapshotOf(dataDir()).size(), 3u) << "_db.json, _shadow.json and the signal";

    // A new installation: an empty data directory and the factory configuration.
    TempDir fresh;
    ScopedEnv freshData("TOLLWICK_DATA_DIR", fresh.path().string());
    std::string shadowBefore;
    {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit().loadFactoryDefault();
        docs.db.edit().ensureFactorySongsAvailable();
        docs.db.load(fresh.path() / "_db.json");
        docs.cache.load(fresh.path() / "cache.json");
        // As the start-up of a new installation leaves them: the factory content counts as written.
        docs.db.rememberContent();
        docs.cache.rememberContent();
        shadowBefore = to_json(*docs.shadow);
    }
    EXPECT_EQ(outcome(restore(backup->body)), "200 ok");
    EXPECT_EQ(readWholeFile(fresh.path() / (key + ".wav")), readWholeFile(dataDir() / (key + ".wav")));
    EXPECT_EQ(fs::status(fresh.path() / (key + ".wav")).permissions(),
              fs::status(dataDir() / (key + ".wav")).permissions())
        << "a restored file has the mode of an uploaded one";
    EXPECT_FALSE(fs::exists(fresh.path() / "_shadow.json"));
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(to_json(*docs.shadow), shadowBefore) << "the password store stays as it is";
        EXPECT_TRUE(docs.db->songs.contains(key));
    }

    // The server that starts from the restored files rings the uploaded signal at 10:01.
    Documents restarted;
    ASSERT_TRUE(restarted.db.load(fresh.path() / "_db.json"));
    QuietPeriods noQuiet;
    Scheduler scheduler(restarted, clock, sounds, noQuiet, {}, Paths::resolve());
    time.set(2024, 9, 2, 10, 1, 0);
    scheduler.pass();
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_EQ(recorder->started(), Strings{(fresh.path() / (key + ".wav")).string()});
}

TEST_F(Backups, EachRefusalOfARestoreLeavesDiskAndMemoryAsTheyWere) {
    setPassword(b, "bell-tower");
    signalOnTheFirstLesson();
    std::ofstream(dataDir() / "quiet.json") << R"({"periods": []})";
    fs::create_directories(dataDir() / "playlog");
    std::ofstream(dataDir() / "playlog" / "2024-09-02.log") << "10:00:00 ping\n";
    ASSERT_TRUE(saveDocumentsNow());
    const std::string good = takeBackup()->body;
    const std::string gong = songsNaming({FIRST});
    // An entry that claims 100 bytes and unpacks to more than 100 MiB.
    std::string lying = zipOf({{"_db.json", gong}, {FIRST, std::string((std::size_t{100} << 20) + 1, '\0')}});
    claimSize(lying, FIRST, 100);
    const auto naming = [&](const std::string& file) {
        return zipOf({{"_db.json", songsNaming({file})}, {file, R"({"salt": "", "hash": ""})"}});
    };
    const auto foreign = [](const std::string& file) {
        return "400 This backup names the file \"" + file +
               "\" for the sound \"Gong\"; it was not made by Tollwick Player";
    };
    const struct {
        const char* what;
        std::string archive;
        std::string answer;
    } cases[] = {
        {"a damaged zip", good.substr(0, good.size() / 2),
         "400 The file is not a zip archive that can be read: Not a zip archive"},
        {"a database that does not decode",
         zipOf({{"_db.json", R"({"dbVersion": 2, "timetables": {"t": {"chA": {"lessons": ["25:00 - 26:00"]}}}})"}}),
         "400 The database in the archive cannot be read: Invalid value for \"timetables.t.chA.lessons[0]\": cannot "
         "read \"25:00 - 26:00\""},
        {"a database nested too deep", zipOf({{"_db.json", std::string(100000, '[')}}),
         "400 The database in the archive cannot be read: Invalid JSON: arrays and objects nest deeper than 64 "
         "levels"},
        {"a database of another version", zipOf({{"_db.json", R"({"dbVersion": 3})"}}),
         "400 The database in the archive is of a version this program cannot read"},
        {"a missing audio file", zipOf({{"_db.json", gong}}),
         "400 The archive lacks the sound file \"" + FIRST + "\" of \"Gong\""},
        {"a path outside", zipOf({{"_db.json", "{\"dbVersion\": 2}"}, {"../gong.wav", "sound"}}),
         "400 The archive's entry \"../gong.wav\" points outside the data directory"},
        {"an oversized entry", lying, "400 The archive's entry \"" + FIRST + "\" unpacks to more than 100 MiB"},
        {"an empty file", "", "400 The file is not a zip archive that can be read: Not a zip archive"},
        {"the password store as a sound", naming("_shadow.json"), foreign("_shadow.json")},
        {"the quiet periods as a sound", naming("quiet.json"), foreign("quiet.json")},
        {"the play log's directory as a sound", naming("playlog"), foreign("playlog")},
        {"a million empty entries", handMadeZip({.entries = 1'000'000, .plainCount = 0xFFFF, .zip64Count = 1'000'000}),
         "400 This backup holds more than 5000 files; it was not made by Tollwick Player"},
    };
    const Snapshot before = snapshotOf(dataDir());
    const std::string memoryBefore = memory();
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(restore(c.archive)), c.answer) << c.what;
        EXPECT_EQ(snapshotOf(dataDir()), before) << c.what;
        EXPECT_EQ(memory(), memoryBefore) << c.what;
    }
    EXPECT_EQ(outcome(b.post("/restore", "")), "400 No file part");
}

// A restore whose commit fails after it changed something: a sound file that cannot take its
// place after another took its own, or a document that cannot be written after another was.
TEST_F(Backups, ARestoreThatFailsHalfWayIsUndoneWhole) {
    std::ofstream(dataDir() / FIRST) << "an older sound";
    {
        std::scoped_lock lock(docs.mutex);
        docs.db.saveForce();
    }
    const std::string archive = zipOf({{"_db.json", songsNaming({FIRST, SECOND})},
                                       {"cache.json", R"({"calendarVersion": 7})"},
                                       {FIRST, "1"},
                                       {SECOND, "2"}});
    const std::string undone = "500 The backup could not be restored, and everything stays as it was: ";
    const struct {
        const char* what;
        std::string inTheWay;
        std::string reason;
    } cases[] = {
        {"a directory where the second sound goes", SECOND,
         "Cannot save " + (dataDir() / SECOND).string() + ": renaming into place: Is a directory"},
        {"a directory where the cache goes", "cache.json", "the documents could not be written to the disk"},
    };
    for (const auto& c : cases) {
        fs::create_directory(dataDir() / c.inTheWay);
        const Snapshot before = snapshotOf(dataDir());
        const std::string memoryBefore = memory();
        EXPECT_EQ(outcome(restore(archive)), undone + c.reason) << c.what;
        EXPECT_EQ(snapshotOf(dataDir()), before) << c.what;
        EXPECT_EQ(memory(), memoryBefore) << c.what;
        fs::remove(dataDir() / c.inTheWay);
    }
}

TEST_F(Backups, WhatAnArchiveUnpacksToInAllIsBoundedToo) {
    std::string archive = zipOf(
        {{"_db.json", songsNaming({FIRST, SECOND})}, {FIRST, std::string(600, 'a')}, {SECOND, std::string(600, 'b')}});
    EXPECT_NO_THROW(prepareRestore(archive, scratch.path(), {5000, 4000}));
    claimSize(archive, FIRST, 10);
    claimSize(archive, SECOND, 10);
    try {
        prepareRestore(archive, scratch.path(), {1200, 1000});
        FAIL();
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "The archive unpacks to more than 1200 bytes");
    }
    EXPECT_EQ(snapshotOf(scratch.path()).count(FIRST), 0u) << "nothing unpacked stays behind";
}

TEST_F(Backups, ABackupWhoseSoundFileIsGoneIsRefusedByName) {
    const std::string key = signalOnTheFirstLesson();
    fs::remove(dataDir() / (key + ".wav"));
    EXPECT_EQ(outcome(b.get("/backup")), "409 The sound file \"" + key +
                                             ".wav\" of \"Gong\" is missing: delete that song or upload it again, "
                                             "then make the backup");
    EXPECT_EQ(snapshotOf(dataDir()).size(), 0u) << "no half-made archive stays behind";
}

TEST_F(Backups, BackupAndRestoreAreGuardedLikeEveryLoggedInRoute) {
    setPassword(b, "bell-tower");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string loggedIn = "Cookie: session=" + b.cookie + "\r\n";
    const std::string restore =
        "POST /restore HTTP/1.1\r\n" + host + "Content-Type: multipart/form-data; boundary=x\r\n";
    struct Case {
        const char* what;
        std::string request; // no body is sent: each answer must come before one
        const char* status;
    };
    const std::vector<Case> cases{
        {"a backup another site asks for",
         "GET /backup HTTP/1.1\r\n" + host + loggedIn + "Sec-Fetch-Site: cross-site\r\n\r\n", "HTTP/1.1 403 Forbidden"},
        {"a restore another site sends",
         restore + loggedIn + "Origin: http://evil.example\r\nContent-Length: 100\r\n\r\n", "HTTP/1.1 403 Forbidden"},
        {"a backup without login", "GET /backup HTTP/1.1\r\n" + host + "\r\n", "HTTP/1.1 400 Bad Request"},
        {"a restore without login", restore + "Content-Length: 500000000\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"an archive larger than a restore unpacks", restore + loggedIn + "Content-Length: 1200000000\r\n\r\n",
         "HTTP/1.1 413 Payload Too Large"},
    };
    for (const Case& c : cases) {
        const std::string answer = rawExchange(port, c.request);
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), c.status) << c.what;
    }
}

} // namespace
