// The documents and the play log on a disk that fills up, breaks or hangs (FaultyFiles), while the
// scheduler rings its bells through it all.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <system_error>
#include <vector>

#include "audio/player_sounds.h"
#include "scheduling/scheduler.h"
#include "storage/atomic_file.h"
#include "storage/document_writer.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/faulty_files.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/temp_dir.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using test::FaultyFiles;
using Names = std::vector<std::string>;

std::string fileText(const fs::path& path) {
    return readWholeFile(path).value_or("");
}

Names namesIn(const fs::path& dir) {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// The song ids of the plays started; each play is over at once.
class BellRecorder : public SoundStarter {
public:
    Names rung;

    std::shared_ptr<PlayHandle> play(PlayRequest request, const PlayOrigin&) override {
        rung.push_back(request.songId);
        return std::make_shared<Over>();
    }
    void record(const std::string&, const std::string&, const PlayOrigin&, PlayOutcome, const std::string&) override {}

private:
    struct Over : PlayHandle {
        void abortPlay() override {}
        bool hasEnded() const override { return true; }
    };
};

// A school day whose lessons ring "bell" at 08:00 and 08:45, its documents written by a writer
// thread to a disk the test breaks.
struct DocumentsOnAFaultyDisk : ::testing::Test {
    test::LogCapture log;
    test::TempDir dir;
    FaultyFiles disk;
    test::FakeTime time{2026, 12, 8, 7, 0, 0}; // a Tuesday
    Clock clock{time.source()};
    Documents docs;
    BellRecorder sounds;
    QuietPeriods quiet;
    Scheduler scheduler{docs, clock, sounds, quiet, {}, Paths{dir.path().string(), dir.path().string() + "/"}};
    DocumentWriter writer{docs, disk};

    DocumentsOnAFaultyDisk() {
        docs.db.load(dbFile());
        docs.shadow.load(dir.path() / "_shadow.json");
        docs.cache.load(dir.path() / "cache.json");
        docs.db.edit().loadFactoryDefault();
        docs.db.edit().songs.add(AudioAsset{"bell", "", "bell.mp3"}, "bell");
        SignalTable& channel = docs.db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).chA;
        channel.lessons = {Lesson::decode("08:00 - 08:45")};
        channel.startOfClass.id = channel.endOfClass.id = "bell";
        channel.preStart.id = channel.preEnd.id = NULL_ID;
        docs.db.edit().settings.dailyPreferences.resetOnNewDay(clock.updateClock().yearDay);
        docs.db.saveForce();
        docs.db.rememberContent();
        docs.shadow.rememberContent();
        docs.cache.rememberContent();
        writer.start();
    }
    // The writer must not be left hanging in a stall when it is stopped.
    ~DocumentsOnAFaultyDisk() override { disk.heal(); }

    fs::path dbFile() const { return dir.path() / "_db.json"; }

    void setAlarmDelay(double seconds) {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit().settings.alarmDelaySec = seconds;
    }
    bool savedAlarmDelay(const std::string& seconds) const {
        return fileText(dbFile()).find("\"alarmDelaySec\": " + seconds) != std::string::npos;
    }
    // What the scheduler rings in the second h:m:00.
    Names ringAt(int h, int m) {
        time.set(2026, 12, 8, h, m, 0);
        sounds.rung.clear();
        scheduler.pass();
        return sounds.rung;
    }
};

TEST_F(DocumentsOnAFaultyDisk, AFullDiskKeepsTheOldFileAndTheBellsAndTheChangeIsSavedOnceThereIsRoom) {
    const struct {
        const char* what;
        unsigned operation;
        const char* step;
        int h, m;
    } cases[] = {
        {"no room for the new content", FaultyFiles::WRITE, "writing", 8, 0},
        {"no room for the renamed entry", FaultyFiles::RENAME, "renaming into place", 8, 45},
    };
    int delay = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = fileText(dbFile());
        disk.fail(c.operation, ENOSPC, "_db.json");
        setAlarmDelay(++delay);
        EXPECT_TRUE(log.waitFor(spdlog::level::err, "Could not save the database: Cannot save " + dbFile().string() +
                                                        ": " + c.step + ": " +
                                                        std::generic_category().message(ENOSPC)));
        EXPECT_EQ(ringAt(c.h, c.m), Names{"bell"});
        EXPECT_EQ(fileText(dbFile()), before);
        EXPECT_EQ(namesIn(dir.path()), Names{"_db.json"}) << "no temporary file is left";
        disk.heal();
        EXPECT_TRUE(eventually([&] { return savedAlarmDelay(std::to_string(delay) + ".0"); }))
            << "written with no further change";
    }
}

TEST_F(DocumentsOnAFaultyDisk, ASaveThatHangsHoldsUpNeitherTheDocumentsNorTheBells) {
    disk.stall(FaultyFiles::WRITE, 10min, "_db.json");
    setAlarmDelay(7.5);
    ASSERT_TRUE(disk.waitForStalls(1));
    auto reader = std::async(std::launch::async, [&] {
        std::scoped_lock lock(docs.mutex);
        return docs.db->settings.alarmDelaySec;
    });
    auto bells = std::async(std::launch::async, [&] { return ringAt(8, 0); });
    const bool free =
        reader.wait_for(5s) == std::future_status::ready && bells.wait_for(5s) == std::future_status::ready;
    if (!free)
        disk.heal(); // so that they can end
    ASSERT_TRUE(free) << "the save holds the document mutex";
    EXPECT_EQ(reader.get(), 7.5);
    EXPECT_EQ(bells.get(), Names{"bell"});
    setAlarmDelay(9); // while the write of 7.5 still hangs
    disk.heal();
    EXPECT_TRUE(eventually([&] { return savedAlarmDelay("9.0"); })) << "the change made meanwhile follows";
}

PlayLogEntry entry(const std::string& id) {
    PlayLogEntry e;
    e.id = id;
    e.due = "2024-09-02T08:00:00";
    e.songId = "bell";
    return e;
}

Names idsOf(const std::vector<PlayLogEntry>& entries) {
    Names ids;
    for (const PlayLogEntry& e : entries)
        ids.push_back(e.id);
    return ids;
}

struct PlayLogOnAFaultyDisk : ::testing::Test {
    test::LogCapture log;
    test::TempDir dir;
    FaultyFiles disk;
    PlayLog playLog{disk};
    PlayLogOnAFaultyDisk() { playLog.open(dir.path() / "playlog"); }

    std::size_t errorsLogged() const { return log.textsAt(spdlog::level::err).size(); }
};

// Plays that start while the log cannot be written: a day of lessons through the real player.
TEST_F(PlayLogOnAFaultyDisk, PlaysStartAndTheirEntriesAreWrittenOnceTheDiskWorksWithOneErrorLogged) {
    test::FakeTime time{2024, 9, 2, 7, 0, 0};
    Clock clock{time.source()};
    Documents docs;
    QuietPeriods quiet;
    std::shared_ptr<test::PlayRecorder> recorder = test::PlayRecorder::create();
    Player player{clock, recorder->factory()};
    PlayerSounds sounds{player, playLog, clock};
    Scheduler scheduler{docs, clock, sounds, quiet, {}, Paths{dir.path().string(), dir.path().string() + "/"}};
    docs.db.edit().loadFactoryDefault();
    docs.db.edit().songs.add(AudioAsset{"bell", "", "bell.wav"}, "bell");
    std::ofstream(dir.path() / "bell.wav") << "sound";
    SignalTable& channel = docs.db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).chA;
    channel.lessons = {Lesson::decode("08:00 - 08:45")};
    for (PlayDesc* desc : {&channel.startOfClass, &channel.endOfClass, &channel.preStart, &channel.preEnd})
        desc->id = "bell";
    const auto ringAt = [&](int h, int m) {
        time.set(2024, 9, 2, h, m, 0);
        scheduler.triggerScheduledSounds(clock.updateClock());
        ASSERT_TRUE(player.waitUntilAllEnded(10s));
    };
    playLog.start();

    ringAt(7, 55);
    disk.fail(FaultyFiles::APPEND, ENOSPC);
    ringAt(8, 0);
    ASSERT_TRUE(eventually([&] { return disk.failures() >= 2; })) << "tried again";
    ringAt(8, 40);
    ringAt(8, 45);
    EXPECT_EQ(recorder->started().size(), 4u) << "every bell rang";
    EXPECT_EQ(errorsLogged(), 1u);

    disk.heal();
    EXPECT_TRUE(log.waitFor(spdlog::level::info, "The play log is written again"));
    EXPECT_EQ(playLog.read("2024-09-02").size(), 4u);
    EXPECT_EQ(errorsLogged(), 1u);
    player.stopAll();
}

// A disk that fills up in the middle of an append keeps half a line; the next write must not
// run on from it.
TEST_F(PlayLogOnAFaultyDisk, AHalfWrittenLineSpoilsNoEntryWrittenAfterIt) {
    playLog.record(entry("before"));
    playLog.flush();
    disk.fail(FaultyFiles::APPEND, EIO);
    playLog.record(entry("during"));
    playLog.flush();
    disk.heal();
    EXPECT_EQ(idsOf(playLog.read("2024-09-02")), (Names{"before", "during"}));
}

TEST_F(PlayLogOnAFaultyDisk, EntriesWaitingForTheDiskAreBoundedAndTheOldestGo) {
    disk.fail(FaultyFiles::MAKE_DIRECTORY, EACCES);
    for (std::size_t i = 0; i < PlayLog::MAX_PENDING + 2; ++i) {
        playLog.record(entry(std::to_string(i)));
        if (i % 1000 == 0)
            playLog.flush(); // a batch taken and put back
    }
    playLog.flush();
    disk.heal();
    const Names ids = idsOf(playLog.read("2024-09-02"));
    ASSERT_EQ(ids.size(), PlayLog::MAX_PENDING);
    EXPECT_EQ(ids.front(), "2");
    EXPECT_EQ(ids.back(), std::to_string(PlayLog::MAX_PENDING + 1));
}

} // namespace
} // namespace tollwick
