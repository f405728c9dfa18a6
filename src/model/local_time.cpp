#include "model/local_time.h"

namespace tollwick {

ClockReading clockReadingAt(std::chrono::system_clock::time_point t) {
    const std::tm tm = localTm(std::chrono::system_clock::to_time_t(t));
    return ClockReading{.year = tm.tm_year + 1900,
                        .month = tm.tm_mon + 1,
                        .day = tm.tm_mday,
                        .hour = tm.tm_hour,
                        .minute = tm.tm_min,
                        .second = tm.tm_sec,
                        .weekday = (tm.tm_wday + 6) % 7,
                        .yearDay = tm.tm_yday + 1,
                        .isDst = tm.tm_isdst > 0 ? 1 : 0};
}

} // namespace tollwick
