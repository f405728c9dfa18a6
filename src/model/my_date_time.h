#pragma once
// A full local date-time with microseconds, the modification stamp of audio assets.
// Text form ISO 8601: YYYY-MM-DDTHH:MM:SS, then ".ffffff" when the microseconds are not zero,
// then the UTC offset "+HH:MM" only when the value carries one.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include <date/date.h>

#include "model/fingerprint.h"

namespace tollwick {

struct MyDateTime {
    using LocalTime = date::local_time<std::chrono::microseconds>;

    LocalTime date;
    std::optional<std::chrono::minutes> utcOffset;

    // The current local time.
    MyDateTime();
    // Reads ISO 8601 text; an empty text means the current local time. Anything else that is not
    // a date, optionally with a time and an offset, fails with InvalidValueError.
    explicit MyDateTime(std::string_view dateText);

    static MyDateTime now() { return MyDateTime(); }
    static std::string encode(const MyDateTime& obj);
    static MyDateTime decode(std::string_view text) { return MyDateTime(text); }

    Fingerprint fingerprint() const noexcept;

    bool operator==(const MyDateTime& o) const noexcept { return date == o.date && utcOffset == o.utcOffset; }
};

} // namespace tollwick
