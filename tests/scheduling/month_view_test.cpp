#include <gtest/gtest.h>

#include <cstdlib>

#include "model/json_text.h"
#include "model/local_time.h"
#include "scheduling/month_view.h"
#include "support/fake_clock.h"
#include "support/scoped_state.h"

using namespace tollwick;
using tollwick::test::readingAt;

namespace {

std::string firstAndLast(const std::vector<std::pair<date::year_month_day, bool>>& dates) {
    std::ostringstream out;
    out << dates.front().first << ".." << dates.back().first << " (" << dates.size() << ")";
    return out.str();
}

TEST(MonthGrid, CoversWholeWeeksFromMondayToSunday) {
    struct Case {
        int year, month;
        long long offset;
        const char* expected;
    };
    const Case cases[] = {
        {2027, 2, 0, "2027-02-01..2027-02-28 (28)"}, // 28 days beginning on a Monday
        {2026, 3, 0, "2026-02-23..2026-04-05 (42)"}, // 31 days beginning on a Sunday
        {2026, 5, 0, "2026-04-27..2026-05-31 (35)"}, // ends on a Sunday: the 31st is last
        {2026, 8, 0, "2026-07-27..2026-09-06 (42)"}, // ends on a Monday: six days follow
        {2026, 1, -1, "2025-12-01..2026-01-04 (35)"},  // December of the previous year
        {2026, 1, 12, "2026-12-28..2027-01-31 (35)"},  // the same month next year
        {2026, 1, -13, "2024-11-25..2025-01-05 (42)"}, // December two years back
        {2026, 12, 1, "2026-12-28..2027-01-31 (35)"},
        {2026, 12, 26, "2029-01-29..2029-03-04 (35)"},
        {2024, 2, 0, "2024-01-29..2024-03-03 (35)"}, // a leap February
    };
    for (const Case& k : cases) {
        const auto dates = generatePaddedCalendarDates(readingAt(k.year, k.month, 15), k.offset);
        EXPECT_EQ(firstAndLast(dates), k.expected) << k.year << "-" << k.month << " offset " << k.offset;
        EXPECT_EQ(weekdayIndex(dates.front().first), 0);
        for (std::size_t i = 1; i < dates.size(); ++i)
            ASSERT_EQ(date::sys_days{dates[i].first} - date::sys_days{dates[i - 1].first}, date::days{1});
    }
}

TEST(MonthGrid, MarksTheDaysOfTheGivenMonth) {
    const auto dates = generatePaddedCalendarDates(readingAt(2027, 2, 10));
    for (const auto& [d, inMonth] : dates)
        EXPECT_TRUE(inMonth) << "February 2027 begins on a Monday: " << d;
    const auto march = generatePaddedCalendarDates(readingAt(2026, 3, 1));
    EXPECT_FALSE(march.front().second);
    EXPECT_TRUE(march[6].second) << "the 1st, a Sunday";
    EXPECT_FALSE(march.back().second);
}

TEST(MonthGrid, OffsetsThatLeaveTheCalendarFailClearly) {
    const ClockReading now = readingAt(2026, 12, 8);
    EXPECT_THROW(generatePaddedCalendarDates(now, -12 * 2026), InvalidValueError);
    EXPECT_NO_THROW(generatePaddedCalendarDates(now, -12 * 2025 - 11)) << "January of year 1";
    EXPECT_THROW(generatePaddedCalendarDates(now, 12 * 7974), InvalidValueError);
    EXPECT_NO_THROW(generatePaddedCalendarDates(now, 12 * 7973));
    EXPECT_THROW(generatePaddedCalendarDates(now, std::numeric_limits<long long>::max()), InvalidValueError);
    EXPECT_THROW(generatePaddedCalendarDates(now, std::numeric_limits<long long>::min()), InvalidValueError);
}

TEST(MonthGrid, DaylightSavingChangesNeitherSkipNorRepeatADay) {
    // Budapest moves its clocks on 2026-03-29 and 2026-10-25. The grid is civil, so it cannot
    // depend on the time zone; check against the platform's own conversion in that zone anyway.
    tollwick::test::ScopedEnv tz("TZ", "Europe/Budapest");
    tzset();
    for (int month : {3, 10}) {
        const auto dates = generatePaddedCalendarDates(clockReadingAt(std::chrono::system_clock::from_time_t(
                                                           month == 3 ? 1774778400 /* 2026-03-29 10:00 UTC */
                                                                      : 1792922400 /* 2026-10-25 10:00 UTC */)));
        std::set<date::sys_days> seen;
        for (const auto& [d, inMonth] : dates)
            EXPECT_TRUE(seen.insert(date::sys_days{d}).second) << "repeated " << d;
        EXPECT_EQ(dates.size() % 7, 0u);
        EXPECT_EQ(date::sys_days{dates.back().first} - date::sys_days{dates.front().first},
                  date::days{static_cast<int>(dates.size()) - 1});
    }
    const auto march = generatePaddedCalendarDates(readingAt(2026, 3, 29, 2, 30));
    EXPECT_EQ(firstAndLast(march), "2026-02-23..2026-04-05 (42)");
    tollwick::test::ScopedEnv restore("TZ", std::nullopt);
    tzset();
}

TEST(MonthView, ResolvesEveryDayAndMarksToday) {
    DB db;
    db.loadFactoryDefault();
    Cache cache;
    cache.calendarRegions.add(CalendarRegion{"Hungary", WorkdayMode::MON_TO_FRI, true, "",
                                             {"2026-11-30", "2026-12-25"}, {"2026-12-21"}, {"2026-12-12"}},
                              "hu");
    db.settings.dailyPreferences.selectedTimetableId = "today-only";
    const Json month = getCalendarInfoForMonth(db, cache, readingAt(2026, 12, 8, 12, 0, 0));

    EXPECT_EQ(month["year"], 2026);
    EXPECT_EQ(month["month"], 12);
    EXPECT_EQ(month["defaultTimetableId"], FACTORY_DEFAULT_TIMETABLE_ID);
    const Json& days = month["days"];
    ASSERT_EQ(days.size(), 35u); // 2026-11-30 .. 2027-01-03
    EXPECT_EQ(toJsonText(days[0]), R"({"id": "NULL", "day": 30, "typeOfDay": "HOLIDAY", "isToday": false, )"
                                   R"("isGivenMonth": false})")
        << "a neighbouring month's day is resolved like any other";
    EXPECT_EQ(toJsonText(days[8]), R"({"id": "today-only", "day": 8, "typeOfDay": "WORKDAY", "isToday": true, )"
                                   R"("isGivenMonth": true})");
    EXPECT_EQ(days[9]["id"], FACTORY_DEFAULT_TIMETABLE_ID) << "the daily choice changes only today";
    EXPECT_EQ(days[12]["typeOfDay"], "REPLACED_WORKDAY");
    EXPECT_EQ(days[12]["id"], FACTORY_DEFAULT_TIMETABLE_ID);
    EXPECT_EQ(days[13]["typeOfDay"], "NON_WORKDAY");
    EXPECT_EQ(days[21]["typeOfDay"], "SCHOOL_BREAK");
    EXPECT_EQ(days[25]["typeOfDay"], "HOLIDAY");
    EXPECT_EQ(days[34]["day"], 3);
    EXPECT_FALSE(days[34]["isGivenMonth"]);
    int todays = 0;
    for (const Json& d : days)
        todays += d["isToday"].get<bool>();
    EXPECT_EQ(todays, 1);

    db.settings.schedulerEnable = false;
    EXPECT_EQ(getCalendarInfoForMonth(db, cache, readingAt(2026, 12, 8))["days"][9]["id"],
              FACTORY_DEFAULT_TIMETABLE_ID)
        << "the grid shows the calendar whether or not the scheduler runs";
}

TEST(MonthView, OtherMonthsHaveNoToday) {
    DB db;
    db.loadFactoryDefault();
    const Json month = getCalendarInfoForMonth(db, Cache{}, readingAt(2026, 1, 31), -1);
    EXPECT_EQ(month["year"], 2025);
    EXPECT_EQ(month["month"], 12);
    for (const Json& d : month["days"])
        EXPECT_FALSE(d["isToday"]);
}

} // namespace
