// The system's documents and play log on a disk that fills up, breaks or hangs (FaultyFiles), while
// the scheduler rings its bells through it all.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <system_error>
#include <vector>

#include "app/system.h"
#include "storage/atomic_file.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/faulty_files.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/scoped_state.h"
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

// A school day whose lessons ring "bell" at 07:55, 08:00, 08:40 and 08:45: the real system over a
// disk the test breaks, its writers running, its scheduler's passes run by the test.
struct ASchoolOnAFaultyDisk : ::testing::Test {
    test::LogCapture log;
    test::TempDir dir;
    test::ScopedEnv dataEnv{"TOLLWICK_DATA_DIR", dir.path().string()};
    FaultyFiles disk;
    test::FakeTime time{2026, 12, 8, 7, 0, 0}; // a Tuesday
    std::shared_ptr<test::PlayRecorder> recorder = test::PlayRecorder::create();
    System system{SystemSeams{.clock = time.source(), .players = recorder->factory(), .phoneHome = [] {}, .files = &disk}};
    Documents& docs = system.documents();

    ASchoolOnAFaultyDisk() {
        system.loadDocuments();
        std::ofstream(dir.path() / "bell.wav") << "sound";
        {
            std::scoped_lock lock(docs.mutex);
            docs.db.edit().songs.add(AudioAsset{"bell", "", "bell.wav"}, "bell");
            SignalTable& channel = docs.db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).chA;
            channel.lessons = {Lesson::decode("08:00 - 08:45")};
            for (PlayDesc* desc : {&channel.startOfClass, &channel.endOfClass, &channel.preStart, &channel.preEnd})
                desc->id = "bell";
        }
        system.saveChangedDocuments();
        EXPECT_NE(fileText(dbFile()).find("bell.wav"), std::string::npos);
        system.startWriters();
    }
    // The writer must not be left hanging in a stall when the system stops.
    ~ASchoolOnAFaultyDisk() override { disk.heal(); }

    fs::path dbFile() const { return dir.path() / "_db.json"; }

    void setAlarmDelay(double seconds) {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit().settings.alarmDelaySec = seconds;
    }
    bool savedAlarmDelay(const std::string& seconds) const {
        return fileText(dbFile()).find("\"alarmDelaySec\": " + seconds) != std::string::npos;
    }
    // How many plays the scheduler started in the second h:m:00; they are over when it answers.
    std::size_t ringAt(int h, int m) {
        time.set(2026, 12, 8, h, m, 0);
        const std::size_t before = recorder->started().size();
        system.scheduler().pass();
        EXPECT_TRUE(system.player().waitUntilAllEnded(10s));
        return recorder->started().size() - before;
    }
    std::size_t errorsLogged() const { return log.textsAt(spdlog::level::err).size(); }
};

TEST_F(ASchoolOnAFaultyDisk, AFullDiskKeepsTheOldFileAndTheBellsAndTheChangeIsSavedOnceThereIsRoom) {
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
        const Names namesBefore = namesIn(dir.path());
        disk.fail(c.operation, ENOSPC, "_db.json");
        setAlarmDelay(++delay);
        EXPECT_TRUE(log.waitFor(spdlog::level::err, "Could not save the database: Cannot save " + dbFile().string() +
                                                        ": " + c.step + ": " +
                                                        std::generic_category().message(ENOSPC)));
        EXPECT_EQ(fileText(dbFile()), before);
        EXPECT_EQ(namesIn(dir.path()), namesBefore) << "no temporary file is left";
        EXPECT_EQ(ringAt(c.h, c.m), 1u);
        disk.heal();
        EXPECT_TRUE(eventually([&] { return savedAlarmDelay(std::to_string(delay) + ".0"); }))
            << "written with no further change";
    }
}

TEST_F(ASchoolOnAFaultyDisk, ASaveThatHangsHoldsUpNeitherTheDocumentsNorTheBells) {
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
    EXPECT_EQ(bells.get(), 1u);
    setAlarmDelay(9); // while the write of 7.5 still hangs
    disk.heal();
    EXPECT_TRUE(eventually([&] { return savedAlarmDelay("9.0"); })) << "the change made meanwhile follows";
}

// Plays that start while the log cannot be written: a day of lessons through the real player.
TEST_F(ASchoolOnAFaultyDisk, PlaysStartWhileThePlayLogCannotBeWrittenAndItsEntriesFollowWithOneErrorLogged) {
    const std::size_t errorsBefore = errorsLogged();
    EXPECT_EQ(ringAt(7, 55), 1u);
    disk.fail(FaultyFiles::APPEND, ENOSPC);
    EXPECT_EQ(ringAt(8, 0), 1u);
    ASSERT_TRUE(eventually([&] { return disk.failures() >= 2; })) << "tried again";
    EXPECT_EQ(ringAt(8, 40), 1u);
    EXPECT_EQ(ringAt(8, 45), 1u);
    EXPECT_EQ(errorsLogged(), errorsBefore + 1);

    disk.heal();
    EXPECT_TRUE(log.waitFor(spdlog::level::info, "The play log is written again"));
    EXPECT_EQ(system.playLog().read("2026-12-08").size(), 4u);
    EXPECT_EQ(errorsLogged(), errorsBefore + 1);
}

} // namespace
} // namespace tollwick
