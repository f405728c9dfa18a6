#include "scheduling/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "model/local_time.h"

namespace tollwick {

ClockReading systemClockReading() { return clockReadingAt(std::chrono::system_clock::now()); }

Clock::Clock(Source source) : _source(std::move(source)), _now(_source()) {}

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

std::string Clock::getTimeString(std::string_view format) const { return formatClockReading(getClock(), format); }

std::string Clock::getDateString() const { return dateStringOf(getClock()); }

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

} // namespace tollwick
