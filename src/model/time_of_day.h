#pragma once
// A wall-clock time within a day: lesson bells, programme times, extra plays.
// Text form "HH:MM", or "HH:MM:SS" when the second is not 0.
#include <string>
#include <string_view>

#include "model/clock_reading.h"
#include "model/fingerprint.h"
#include "model/json.h"

namespace tollwick {

struct TimeOfDay {
    static constexpr int SECONDS_IN_A_DAY = 86400;

    // No range checks here; only decode and fromSecondsOfDay guarantee 0-23, 0-59, 0-59.
    int h = 0;
    int m = 0;
    int s = 0;

    static TimeOfDay fromTimeStruct(const ClockReading& tm) noexcept;
    // Wraps any number of seconds into one day: -60 is 23:59.
    static TimeOfDay fromSecondsOfDay(long long seconds) noexcept;
    int toSecondsOfDay() const noexcept { return h * 3600 + m * 60 + s; }
    // Wraps around midnight; a negative count moves later.
    TimeOfDay minusMinutes(int minutes) const noexcept;

    std::string asString() const;
    // "HH:MM:SS", always with the seconds.
    std::string withSeconds() const;
    static std::string encode(const TimeOfDay& obj) { return obj.asString(); }
    // Fails with InvalidValueError: an out-of-range part carries no message of its own.
    static TimeOfDay decode(std::string_view text);

    Fingerprint fingerprint() const noexcept;
    // The plain attribute form: the parts as an object.
    Json attributes() const { return Json{{"h", h}, {"m", m}, {"s", s}}; }

    bool operator==(const TimeOfDay& o) const noexcept { return h == o.h && m == o.m && s == o.s; }
    bool operator==(const ClockReading& tm) const noexcept { return *this == fromTimeStruct(tm); }
    bool operator>(const TimeOfDay& o) const noexcept { return toSecondsOfDay() > o.toSecondsOfDay(); }
    bool operator>(const ClockReading& tm) const noexcept { return *this > fromTimeStruct(tm); }
    bool operator<(const TimeOfDay& o) const noexcept { return o > *this; }
    bool operator<(const ClockReading& tm) const noexcept { return fromTimeStruct(tm) > *this; }
};

} // namespace tollwick
