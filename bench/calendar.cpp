// Prints the cost of the calendar resolutions the interface and the scheduler ask for: one month
// grid (42 days resolved afresh) and today's state with many programmes.
#include <cstdio>

#include "large_document.h"
#include "scheduling/day_resolution.h"
#include "scheduling/month_view.h"

using namespace tollwick;
using namespace tollwick::bench;

int main() {
    DB db;
    db.loadFactoryDefault();
    Cache cache;
    CalendarRegion region{"Region", WorkdayMode::MON_TO_FRI};
    const date::sys_days start{date::year{2026} / 1 / 1};
    for (int i = 0; i < 400; ++i) {
        const std::string day = Date::fromCivil(date::year_month_day{start + date::days{i * 2}}).asString();
        (i % 3 == 0 ? region.holidays : i % 3 == 1 ? region.schoolBreaks : region.extraWorkdays).push_back(day);
    }
    cache.calendarRegions.add(region, "hu");
    for (int i = 0; i < 300; ++i) {
        // Events far from the month shown, so every day walks every event.
        db.settings.calendar.singleEvents.push_back({"tt", Date(2020, 1 + i % 12, 1), Date(2020, 1 + i % 12, 20)});
        db.settings.calendar.reoccurringEvents.push_back({"tt", ReoccurringCalendarEvent::Mode::ODD_WEEK, 0});
    }
    ClockReading now;
    now.year = 2026, now.month = 12, now.day = 8, now.hour = 9, now.weekday = 1, now.yearDay = 342;
    std::printf("calendar: 300 single events, 300 recurring events, a region of 400 dates\n");
    report("getCalendarInfoForMonth", 50, [&] { (void)getCalendarInfoForMonth(db, cache, now); });

    for (int p = 0; p < 1000; ++p)
        db.programmes.add(Programme{"ID_ring", Date(2026, 12, 8), TimeOfDay(10 + p % 10, p % 60)});
    std::printf("database: 1000 programmes today\n");
    report("getActiveTimetableInfo", 200, [&] { (void)getActiveTimetableInfo(db, cache, now); });
    return 0;
}
