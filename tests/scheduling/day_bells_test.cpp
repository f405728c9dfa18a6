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

PlannedQuiet plannedOn(const char* date, TimeOfDay from, TimeOfDay to, const char* name = "", bool hold = true) {
    return PlannedQuiet{"", date, from, to, name, hold};
}

TEST_F(DayBellsTest, APlannedPeriodKeepsItsDayQuietAcrossRestartsAndDaysAndHoldsProgrammesIfItSays) {
    const ClockReading monday = readingAt(2024, 9, 2, 7, 0);
    const std::string exam = quiet.plan(monday, plannedOn("2024-09-05", TimeOfDay(8, 0), TimeOfDay(9, 0), "Maths exam"));
    quiet.plan(monday, plannedOn("2024-09-05", TimeOfDay(10, 0), TimeOfDay(11, 0), "", false));
    quiet.plan(monday, plannedOn("2024-09-03", TimeOfDay(7, 0), TimeOfDay(8, 0)));
    // Planned for Thursday, while Monday's quick period and its day go by.
    quiet.mute(monday, TimeOfDay(7, 50), TimeOfDay(8, 0));

    QuietPeriods restarted;
    restarted.load(dir.path() / "quiet.json");
    const struct {
        ClockReading at;
        bool quiet;
        bool held;
    } cases[] = {
        {readingAt(2024, 9, 5, 8, 0), true, true},
        {readingAt(2024, 9, 5, 8, 59, 59), true, true},
        {readingAt(2024, 9, 5, 9, 0), false, false}, // a bell at its end rings
        {readingAt(2024, 9, 5, 10, 30), true, false}, // bells kept quiet, programmes sound
        {readingAt(2024, 9, 4, 8, 30), false, false},
        {readingAt(2024, 9, 12, 8, 30), false, false}, // the same weekday a week on
        {readingAt(2024, 9, 2, 7, 55), true, false},  // today's quick period holds no programme
    };
    for (const auto& c : cases) {
        EXPECT_EQ(restarted.isQuiet(c.at), c.quiet) << c.at.day << " " << c.at.hour << ":" << c.at.minute;
        EXPECT_EQ(restarted.holdsProgrammes(c.at), c.held) << c.at.day << " " << c.at.hour << ":" << c.at.minute;
    }
    // Thursday's bells: the dashboard's next bell passes over the quiet ones.
    EXPECT_EQ(next(readingAt(2024, 9, 5, 7, 56)), "23:59:30 extraPlay");
    ASSERT_EQ(restarted.today(readingAt(2024, 9, 5, 7, 0)).planned.size(), 2u);
    EXPECT_EQ(restarted.today(readingAt(2024, 9, 5, 7, 0)).planned[0].name, "Maths exam");

    // Listed by date and start, until each is over; then the next change drops it from the file.
    const auto dates = [](const std::vector<PlannedQuiet>& planned) {
        std::vector<std::string> out;
        for (const PlannedQuiet& p : planned)
            out.push_back(p.date + " " + p.from.asString());
        return out;
    };
    EXPECT_EQ(dates(restarted.planned(monday)),
              (std::vector<std::string>{"2024-09-03 07:00", "2024-09-05 08:00", "2024-09-05 10:00"}));
    const ClockReading thursday = readingAt(2024, 9, 5, 9, 0);
    EXPECT_EQ(dates(restarted.planned(thursday)), (std::vector<std::string>{"2024-09-05 10:00"}));
    restarted.dropExpired(thursday);
    QuietPeriods later;
    later.load(dir.path() / "quiet.json");
    EXPECT_EQ(later.today(readingAt(2024, 9, 3, 7, 30)).planned.size(), 0u);
    EXPECT_FALSE(later.isQuiet(readingAt(2024, 9, 5, 8, 30)));
    EXPECT_TRUE(later.isQuiet(readingAt(2024, 9, 5, 10, 30)));

    EXPECT_THROW(later.unplan(thursday, exam), KeyError) << "dropped once over";
    later.unplan(thursday, later.planned(thursday).front().id);
    EXPECT_FALSE(later.isQuiet(readingAt(2024, 9, 5, 10, 30)));
}

TEST_F(DayBellsTest, APlannedPeriodIsCheckedAndPlanningItAgainRenamesIt) {
    const ClockReading now = readingAt(2024, 9, 2, 10, 0);
    const struct {
        PlannedQuiet period;
        const char* why;
    } refused[] = {
        {plannedOn("2024-02-30", TimeOfDay(8, 0), TimeOfDay(9, 0)), "no such day"},
        {plannedOn("next week", TimeOfDay(8, 0), TimeOfDay(9, 0)), "no date"},
        {plannedOn("2024-09-05", TimeOfDay(9, 0), TimeOfDay(9, 0)), "ends as it begins"},
        {plannedOn("2024-09-01", TimeOfDay(8, 0), TimeOfDay(9, 0)), "yesterday"},
        {plannedOn("2024-09-02", TimeOfDay(8, 0), TimeOfDay(10, 0)), "over this very second"},
        {plannedOn("2024-09-05", TimeOfDay(8, 0), TimeOfDay(9, 0), std::string(201, 'x').c_str()), "a name too long"},
    };
    for (const auto& c : refused)
        EXPECT_THROW(quiet.plan(now, c.period), InvalidValueError) << c.why;
    EXPECT_TRUE(quiet.planned(now).empty());

    const std::string id = quiet.plan(now, plannedOn("2024-09-02", TimeOfDay(8, 0), TimeOfDay(10, 1), "Exam"));
    EXPECT_EQ(quiet.plan(now, plannedOn("2024-09-02", TimeOfDay(8, 0), TimeOfDay(10, 1), "Exam 10B", false)), id);
    ASSERT_EQ(quiet.planned(now).size(), 1u);
    EXPECT_EQ(quiet.planned(now)[0].name, "Exam 10B");
    EXPECT_FALSE(quiet.planned(now)[0].holdProgrammes);
    // The day's quick periods may be cleared; what was planned stays.
    quiet.clear(now);
    EXPECT_EQ(quiet.planned(now).size(), 1u);
}

} // namespace
