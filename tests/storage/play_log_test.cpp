#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "storage/play_log.h"
#include "support/faulty_files.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::LogCapture;
using tollwick::test::TempDir;

namespace {

PlayLogEntry entry(const std::string& id, const std::string& due, PlayOutcome outcome = PlayOutcome::PLAYED) {
    PlayLogEntry e;
    e.id = id;
    e.due = due;
    e.songId = "ID_ping";
    e.outcome = outcome;
    return e;
}

// "<id> <outcome>" of each entry read back.
std::vector<std::string> summary(const std::vector<PlayLogEntry>& entries) {
    std::vector<std::string> out;
    for (const PlayLogEntry& e : entries)
        out.push_back(e.id + " " + std::string(enumText(e.outcome)));
    return out;
}

struct PlayLogTest : ::testing::Test {
    LogCapture log;
    TempDir dir;
    PlayLog playLog;
    PlayLogTest() { playLog.open(dir.path() / "playlog"); }
    std::filesystem::path file(const std::string& date) { return dir.path() / "playlog" / (date + ".jsonl"); }
};

TEST_F(PlayLogTest, TheLastStateOfEachEntryCountsInTheOrderTheyWereDue) {
    playLog.start();
    playLog.record(entry("late", "2024-09-02T10:00:00"));
    playLog.record(entry("early", "2024-09-02T08:00:00"));
    playLog.record(entry("late", "2024-09-02T10:00:00", PlayOutcome::STOPPED));
    playLog.record(entry("other-day", "2024-09-03T08:00:00"));
    EXPECT_EQ(summary(playLog.read("2024-09-02")), (std::vector<std::string>{"early played", "late stopped"}));
    EXPECT_EQ(summary(playLog.read("2024-09-03")), std::vector<std::string>{"other-day played"});
    EXPECT_TRUE(playLog.read("2024-09-04").empty());
}

TEST_F(PlayLogTest, DamagedLinesAreSkippedWithOneWarningAndACutLineDamagesNoOther) {
    playLog.record(entry("a", "2024-09-02T08:00:00"));
    playLog.flush();
    // A process that ended in the middle of a line, and a line that is no entry.
    std::ofstream(file("2024-09-02"), std::ios::app) << "{\"id\": \"broken\"\n[1, 2]\n{\"id\": \"cut\", \"du";
    PlayLog next; // the next process
    next.open(dir.path() / "playlog");
    next.record(entry("b", "2024-09-02T09:00:00"));
    EXPECT_EQ(summary(next.read("2024-09-02")), (std::vector<std::string>{"a played", "b played"}));
    EXPECT_EQ(log.textsAt(spdlog::level::warn).size(), 3u);
    next.read("2024-09-02");
    EXPECT_EQ(log.textsAt(spdlog::level::warn).size(), 3u) << "each damaged line is reported once";
}

TEST_F(PlayLogTest, DaysMoreThanSixtyDaysBackAreDeleted) {
    std::filesystem::create_directories(dir.path() / "playlog");
    for (const char* day : {"2024-07-03", "2024-07-04", "2024-09-01"})
        std::ofstream(file(day)) << "";
    std::ofstream(dir.path() / "playlog" / "notes.txt") << "kept";
    playLog.record(entry("a", "2024-09-01T08:00:00"));
    playLog.record(entry("b", "2024-09-02T08:00:00"));
    playLog.flush();
    EXPECT_FALSE(std::filesystem::exists(file("2024-07-03"))) << "61 days back";
    EXPECT_TRUE(std::filesystem::exists(file("2024-07-04"))) << "60 days back";
    EXPECT_TRUE(std::filesystem::exists(file("2024-09-01")));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "playlog" / "notes.txt"));
}

TEST_F(PlayLogTest, EntriesTheDiskRefusedAreWrittenLater) {
    std::ofstream(dir.path() / "playlog") << "a file where the directory should be";
    playLog.record(entry("a", "2024-09-02T08:00:00"));
    playLog.flush();
    EXPECT_FALSE(log.textsAt(spdlog::level::err).empty());
    std::filesystem::remove(dir.path() / "playlog");
    EXPECT_EQ(summary(playLog.read("2024-09-02")), std::vector<std::string>{"a played"});
}

// The ids of the entries read back, in order.
std::vector<std::string> idsOf(const std::vector<PlayLogEntry>& entries) {
    std::vector<std::string> ids;
    for (const PlayLogEntry& e : entries)
        ids.push_back(e.id);
    return ids;
}

struct PlayLogOnAFaultyDisk : ::testing::Test {
    LogCapture log;
    TempDir dir;
    test::FaultyFiles disk;
    PlayLog playLog{disk};
    PlayLogOnAFaultyDisk() { playLog.open(dir.path() / "playlog"); }
};

// A disk that fills up in the middle of an append keeps half a line; the next write must not
// run on from it.
TEST_F(PlayLogOnAFaultyDisk, AHalfWrittenLineSpoilsNoEntryWrittenAfterIt) {
    playLog.record(entry("before", "2024-09-02T08:00:00"));
    playLog.flush();
    disk.fail(test::FaultyFiles::APPEND, EIO);
    playLog.record(entry("during", "2024-09-02T08:00:00"));
    playLog.flush();
    disk.heal();
    EXPECT_EQ(idsOf(playLog.read("2024-09-02")), (std::vector<std::string>{"before", "during"}));
}

TEST_F(PlayLogOnAFaultyDisk, EntriesWaitingForTheDiskAreBoundedAndTheOldestGo) {
    disk.fail(test::FaultyFiles::MAKE_DIRECTORY, EACCES);
    for (std::size_t i = 0; i < PlayLog::MAX_PENDING + 2; ++i) {
        playLog.record(entry(std::to_string(i), "2024-09-02T08:00:00"));
        if (i % 1000 == 0)
            playLog.flush(); // a batch taken and put back
    }
    playLog.flush();
    disk.heal();
    const std::vector<std::string> ids = idsOf(playLog.read("2024-09-02"));
    ASSERT_EQ(ids.size(), PlayLog::MAX_PENDING);
    EXPECT_EQ(ids.front(), "2");
    EXPECT_EQ(ids.back(), std::to_string(PlayLog::MAX_PENDING + 1));
}

} // namespace
