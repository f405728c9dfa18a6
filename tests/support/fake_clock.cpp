#include "support/fake_clock.h"

namespace tollwick::test {

ClockReading readingAt(int year, int month, int day, int hour, int minute, int second) {
    const date::year_month_day ymd{date::year{year}, date::month{static_cast<unsigned>(month)},
                                   date::day{static_cast<unsigned>(day)}};
    const date::sys_days days{ymd};
    const date::sys_days jan1{date::year{year} / 1 / 1};
    ClockReading r;
    r.year = year;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    r.weekday = static_cast<int>(date::weekday{days}.iso_encoding()) - 1;
    r.yearDay = static_cast<int>((days - jan1).count()) + 1;
    return r;
}

void FakeTime::advance(long seconds) {
    const ClockReading r = reading();
    const date::sys_days day{date::year{r.year} / r.month / r.day};
    const auto t = date::sys_seconds{day} + std::chrono::hours(r.hour) + std::chrono::minutes(r.minute) +
                   std::chrono::seconds(r.second) + std::chrono::seconds(seconds);
    const auto newDay = date::floor<date::days>(t);
    const date::year_month_day ymd{newDay};
    const date::hh_mm_ss<std::chrono::seconds> tod{t - newDay};
    _shared->put(readingAt(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                           static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(tod.hours().count()),
                           static_cast<int>(tod.minutes().count()), static_cast<int>(tod.seconds().count())));
}

} // namespace tollwick::test
