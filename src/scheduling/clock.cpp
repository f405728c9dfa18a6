#include "scheduling/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include <date/date.h>

#include "model/local_time.h"

namespace tollwick {

ClockReading systemClockReading() {
    return clockReadingAt(std::chrono::system_clock::now());
}

LocalMoment systemLocalMoment() {
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch) -
                        std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    return {clockReadingAt(now), static_cast<int>((millis.count() + 1000) % 1000)};
}

Clock::Clock() : _source(systemClockReading), _moment(systemLocalMoment), _now(_source()) {}

Clock::Clock(Source source)
    : _source(std::move(source)), _moment([this] {
          return LocalMoment{_source(), 0};
      }),
      _now(_source()) {}

LocalMoment Clock::preciseNow() const {
    return _moment();
}

ClockReading Clock::updateClock() {
    const ClockReading reading = _source();
    std::scoped_lock lock(_mutex);
    _now = reading;
    return reading;
}

ClockReading Clock::getClock() const {
    std::scoped_lock lock(_mutex);
    return _now;
}

std::string Clock::getTimeString(std::string_view format) const {
    return formatClockReading(getClock(), format);
}

std::string Clock::getDateString() const {
    return dateStringOf(getClock());
}

std::string formatClockReading(const ClockReading& r, std::string_view format) {
    std::tm tm{};
    tm.tm_year = r.year - 1900;
    tm.tm_mon = r.month - 1;
    tm.tm_mday = r.day;
    tm.tm_hour = r.hour;
    tm.tm_min = r.minute;
    tm.tm_sec = r.second;
    tm.tm_wday = (r.weekday + 1) % 7;
    tm.tm_yday = r.yearDay - 1;
    tm.tm_isdst = r.isDst;
    const std::string fmt(format);
    std::string out(64 + fmt.size() * 4, '\0');
    const std::size_t n = std::strftime(out.data(), out.size(), fmt.c_str(), &tm);
    out.resize(n);
    return out;
}

std::string dateStringOf(const ClockReading& r) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d", r.year, r.month, r.day);
    return buf;
}

long long wallSecondsOf(const ClockReading& r) noexcept {
    const date::sys_days day{date::year{r.year} / r.month / r.day};
    return static_cast<long long>(day.time_since_epoch().count()) * 86400 + r.hour * 3600 + r.minute * 60 + r.second;
}

ClockReading readingAtWallSeconds(long long seconds, int isDst) {
    const long long dayNumber = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const date::sys_days day{date::days{dayNumber}};
    const long long secondOfDay = seconds - dayNumber * 86400;
    const date::year_month_day ymd{day};
    const date::sys_days jan1{ymd.year() / 1 / 1};
    ClockReading r;
    r.year = static_cast<int>(ymd.year());
    r.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    r.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    r.hour = static_cast<int>(secondOfDay / 3600);
    r.minute = static_cast<int>(secondOfDay / 60 % 60);
    r.second = static_cast<int>(secondOfDay % 60);
    r.weekday = static_cast<int>(date::weekday{day}.iso_encoding()) - 1;
    r.yearDay = static_cast<int>((day - jan1).count()) + 1;
    r.isDst = isDst;
    return r;
}

} // namespace tollwick
