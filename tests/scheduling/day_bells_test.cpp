#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "scheduling/day_bells.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::readingAt;

namespace {

struct DayBellsTest : ::testing::Test {
    test::LogCapture log;
    test::TempDir dir;
    DB db;
    Cache cache;
    QuietPeriods quiet;

    DayBellsTest() {
        quiet.load(dir.path() / "quiet.json");
        db.loadFactoryDefault();
        TimeTable& tt = db.timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {Lesson::decode("08:00 - 08:45")};
        tt.chA.preEnd.id = NULL_ID; // plays nothing, so rings no bell
        tt.customPlays = {UserPlay{PlayDesc{"ID_ping"}, {TimeOfDay(23, 59, 30)}}};
    }

    // "<at> <source>" of the next bell after the reading, or "none".
    std::string next(const ClockReading& now) {
        const std::optional<DayBell> bell = nextBell(db, cache, quiet, now);
        return bell ? bell->at.asString() + " " + std::string(enumText(bell->source)) : "none";
    }
};

TEST_F(DayBellsTest, TheNextBellIsTodaysFirstAfterNowAndNoneOnceTheDayIsDone) {
    const struct {
        ClockReading now;
        const char* next;
    } cases[] = {
        {readingAt(2024, 9, 2, 7, 0), "07:55 preStart"},     // a Monday
        {readingAt(2024, 9, 2, 7, 55), "08:00 lessonStart"}, // the bell of this second is not next
        {readingAt(2024, 9, 2, 8, 0), "08:45 lessonEnd"},    // a signal of "NULL" rings nothing
        {readingAt(2024, 9, 2, 23, 59), "23:59:30 extraPlay"},
        {readingAt(2024, 9, 2, 23, 59, 30), "none"}, // tomorrow's bells are not today's
        {readingAt(2024, 9, 3, 0, 0), "07:55 preStart"},
        {readingAt(2024, 9, 7, 7, 0), "none"}, // a Saturday
    };
    for (const auto& c : cases)
        EXPECT_EQ(next(c.now), c.next) << c.now.day << " " << c.now.hour << ":" << c.now.minute;
    db.settings.schedulerEnable = false;
    EXPECT_EQ(next(readingAt(2024, 9, 2, 7, 0)), "none");
}

TEST_F(DayBellsTest, QuietBellsAreNotNextAndQuietTimesLastForTheirDayAlone) {
    const ClockReading monday = readingAt(2024, 9, 2, 7, 0);
    quiet.mute(monday, TimeOfDay(7, 50), TimeOfDay(8, 0));
    EXPECT_EQ(next(monday), "08:00 lessonStart") << "a period ends before its last minute";
    quiet.skip(monday, TimeOfDay(8, 0));
    EXPECT_EQ(next(monday), "08:45 lessonEnd");

    QuietPeriods restarted; // the next start of the process, the same day
    restarted.load(dir.path() / "quiet.json");
    EXPECT_TRUE(restarted.isQuiet(readingAt(2024, 9, 2, 7, 55)));
    EXPECT_TRUE(restarted.isQuiet(readingAt(2024, 9, 2, 8, 0)));
    EXPECT_FALSE(restarted.isQuiet(readingAt(2024, 9, 2, 8, 0, 1)));
    EXPECT_FALSE(restarted.isQuiet(readingAt(2024, 9, 3, 7, 55))) << "gone at midnight";
    EXPECT_EQ(next(readingAt(2024, 9, 3, 7, 0)), "07:55 preStart");

    quiet.clear(monday);
    EXPECT_EQ(next(monday), "07:55 preStart");
}

TEST_F(DayBellsTest, AQuietPeriodMustEndAfterItBeginsAndAfterNow) {
    const ClockReading now = readingAt(2024, 9, 2, 10, 0);
    EXPECT_THROW(quiet.mute(now, TimeOfDay(11, 0), TimeOfDay(10, 30)), InvalidValueError);
    EXPECT_THROW(quiet.mute(now, TimeOfDay(11, 0), TimeOfDay(11, 0)), InvalidValueError);
    EXPECT_THROW(quiet.mute(now, TimeOfDay(8, 0), TimeOfDay(10, 0)), InvalidValueError);
    EXPECT_NO_THROW(quiet.mute(now, TimeOfDay(8, 0), TimeOfDay(10, 1)));
}

// Skips are kept as quiet periods are (day_glance_test): each once, and a bounded number a day.
TEST_F(DayBellsTest, ASkipIsKeptOnceAndADayHoldsABoundedNumber) {
    const ClockReading now = readingAt(2024, 9, 2, 7, 0);
    const auto bell = [](std::size_t k) { return TimeOfDay(8 + static_cast<int>(k) / 60, static_cast<int>(k) % 60); };
    for (std::size_t k = 0; k < QuietPeriods::MAX_SKIPPED_BELLS; ++k) {
        quiet.skip(now, bell(k));
        ASSERT_NO_THROW(quiet.skip(now, bell(k))) << "one already skipped is no new one";
    }
    EXPECT_EQ(quiet.today(now).skippedBells.size(), QuietPeriods::MAX_SKIPPED_BELLS);
    EXPECT_THROW(quiet.skip(now, bell(QuietPeriods::MAX_SKIPPED_BELLS)), InvalidValueError);
}

TEST_F(DayBellsTest, AChangeThatCannotBeWrittenIsUndone) {
    QuietPeriods unwritable;
    unwritable.load(dir.path() / "missing-directory" / "quiet.json");
    const ClockReading now = readingAt(2024, 9, 2, 7, 0);
    EXPECT_THROW(unwritable.mute(now, TimeOfDay(7, 0), TimeOfDay(9, 0)), Error);
    EXPECT_FALSE(unwritable.isQuiet(readingAt(2024, 9, 2, 8, 0)));
}

} // namespace
