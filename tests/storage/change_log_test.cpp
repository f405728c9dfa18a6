#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/change_log.h"
#include "support/faulty_files.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::LogCapture;
using tollwick::test::TempDir;

namespace {

ChangeLogEntry change(const std::string& time, const std::string& action, const std::string& summary = "s") {
    return ChangeLogEntry{time, "10.0.0.5", std::nullopt, action, std::nullopt, summary};
}

std::vector<std::string> summaries(const std::vector<ChangeLogEntry>& entries) {
    std::vector<std::string> out;
    for (const ChangeLogEntry& e : entries)
        out.push_back(e.summary);
    return out;
}

struct ChangeLogTest : ::testing::Test {
    LogCapture log;
    TempDir dir;
    test::FaultyFiles disk;
    ChangeLog changeLog{disk};
    ChangeLogTest() { changeLog.open(dir.path() / "changelog"); }
    std::filesystem::path file(const std::string& date) { return dir.path() / "changelog" / (date + ".jsonl"); }
};

TEST_F(ChangeLogTest, OneLinePerEntryInTheFileOfItsDay) {
    changeLog.record(change("2024-09-02T08:00:00", "quiet.clear", "first"));
    changeLog.record(change("2024-09-03T08:00:00", "quiet.clear", "next day"));
    changeLog.record(change("2024-09-02T09:00:00", "quiet.clear", "second"));
    EXPECT_EQ(summaries(changeLog.read("2024-09-02")), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(readWholeFile(file("2024-09-02")),
              R"({"time": "2024-09-02T08:00:00", "client": "10.0.0.5", "session": null, "action": "quiet.clear", )"
              R"("target": null, "summary": "first"})"
              "\n"
              R"({"time": "2024-09-02T09:00:00", "client": "10.0.0.5", "session": null, "action": "quiet.clear", )"
              R"("target": null, "summary": "second"})"
              "\n");
    EXPECT_EQ(summaries(changeLog.read("2024-09-03")), std::vector<std::string>{"next day"});
}

TEST_F(ChangeLogTest, DaysMoreThanAYearBackAreDeleted) {
    std::filesystem::create_directories(dir.path() / "changelog");
    for (const char* day : {"2023-09-01", "2023-09-02", "2024-09-01"})
        std::ofstream(file(day)) << "";
    changeLog.record(change("2024-09-01T08:00:00", "quiet.clear"));
    changeLog.flush();
    EXPECT_FALSE(std::filesystem::exists(file("2023-09-01"))) << "366 days back";
    EXPECT_TRUE(std::filesystem::exists(file("2023-09-02"))) << "365 days back";
}

TEST_F(ChangeLogTest, EntriesStayQueuedWhileTheDiskRefusesThem) {
    changeLog.start();
    disk.fail(test::FaultyFiles::APPEND, ENOSPC);
    changeLog.record(change("2024-09-02T08:00:00", "bells.off", "a"));
    changeLog.record(change("2024-09-02T08:00:01", "quiet.clear", "b"));
    ASSERT_TRUE(log.waitFor(spdlog::level::err, "Could not write the change log: Cannot save " +
                                                    file("2024-09-02").string() +
                                                    ": appending: " + std::generic_category().message(ENOSPC)));
    EXPECT_EQ(changeLog.lastBellsSwitch()->summary, "a") << "known before it is written";
    disk.heal();
    EXPECT_EQ(summaries(changeLog.read("2024-09-02")), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(log.textsAt(spdlog::level::err).size(), 1u) << "logged once, not at every try";
    EXPECT_TRUE(log.waitFor(spdlog::level::info, "The change log is written again"));
}

TEST_F(ChangeLogTest, TheLastSwitchOfTheBellsIsFoundInTheNewestDayThatHasOne) {
    changeLog.record(change("2024-09-01T08:00:00", "bells.off", "older"));
    changeLog.record(change("2024-09-02T08:00:00", "bells.off", "off"));
    changeLog.record(change("2024-09-02T09:00:00", "bells.on", "on"));
    changeLog.record(change("2024-09-02T10:00:00", "settings.update", "later"));
    changeLog.record(change("2024-09-03T10:00:00", "quiet.clear", "newest day"));
    changeLog.flush();
    std::ofstream(file("2024-09-03"), std::ios::app) << "{\"cut";
    ChangeLog next(disk); // the next process
    EXPECT_FALSE(next.lastBellsSwitch());
    next.open(dir.path() / "changelog");
    ASSERT_TRUE(next.lastBellsSwitch());
    EXPECT_EQ(next.lastBellsSwitch()->summary, "on");
    EXPECT_EQ(log.textsAt(spdlog::level::warn).size(), 1u) << "the cut line";

    ChangeLog empty(disk);
    empty.open(dir.path() / "none");
    EXPECT_FALSE(empty.lastBellsSwitch());
}

} // namespace
