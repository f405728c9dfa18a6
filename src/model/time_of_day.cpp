#include "model/time_of_day.h"

#include <cstdio>

#include "model/text_parse.h"
#include "runtime/errors.h"

namespace tollwick {

TimeOfDay TimeOfDay::fromTimeStruct(const ClockReading& tm) noexcept {
    return {tm.hour, tm.minute, tm.second};
}

TimeOfDay TimeOfDay::fromSecondsOfDay(long long seconds) noexcept {
    seconds %= SECONDS_IN_A_DAY;
    if (seconds < 0)
        seconds += SECONDS_IN_A_DAY;
    const int rest = static_cast<int>(seconds);
    return {rest / 3600, rest % 3600 / 60, rest % 60};
}

TimeOfDay TimeOfDay::minusMinutes(int minutes) const noexcept {
    return fromSecondsOfDay(static_cast<long long>(toSecondsOfDay()) - static_cast<long long>(minutes) * 60);
}

std::string TimeOfDay::withSeconds() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
    return buf;
}

std::string TimeOfDay::asString() const {
    char buf[48];
    if (s > 0)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
    else
        std::snprintf(buf, sizeof buf, "%02d:%02d", h, m);
    return buf;
}

TimeOfDay TimeOfDay::decode(std::string_view text) {
    const auto parts = splitAt(trimmed(text), ':');
    if (parts.size() < 2) {
        parseDecimalInt(parts[0]); // a bad hour is reported as such
        throw InvalidValueError("Invalid time: a minute is missing in '" + std::string(text) + "'");
    }
    auto checked = [](std::string_view part, int max) {
        const int v = parseDecimalInt(part);
        if (v < 0 || v > max)
            throw InvalidValueError("");
        return v;
    };
    const int h = checked(parts[0], 23);
    const int m = checked(parts[1], 59);
    const int s = parts.size() >= 3 ? checked(parts[2], 59) : 0;
    return {h, m, s};
}

Fingerprint TimeOfDay::fingerprint() const noexcept {
    return hashOf(scalarFingerprint(h), scalarFingerprint(m), scalarFingerprint(s));
}

} // namespace tollwick
