#pragma once
// A calendar day of the proleptic Gregorian calendar. Text form "YYYY-MM-DD", the same as the
// clock's date text and the date lists of calendar regions, which are compared with it as text.
#include <string>
#include <string_view>

#include <date/date.h>

#include "model/clock_reading.h"
#include "model/fingerprint.h"
#include "model/json.h"

namespace tollwick {

struct Date {
    // No checks here; decode guarantees an existing day with a year from 1 to 9999.
    int y = 1900;
    int m = 1;
    int d = 1;

    static Date fromTimeStruct(const ClockReading& tm) noexcept { return {tm.year, tm.month, tm.day}; }
    static Date fromCivil(const date::year_month_day& ymd) noexcept;
    // The civil day; fails with InvalidValueError when the fields name no existing day.
    date::year_month_day toCivil() const;

    // start <= this <= end, both inclusive; fails with InvalidValueError when any of the three
    // is not an existing day.
    bool isBetween(const Date& start, const Date& end) const;

    std::string asString() const;
    static std::string encode(const Date& obj) { return obj.asString(); }
    static Date decode(std::string_view text);

    Fingerprint fingerprint() const noexcept;
    // The plain attribute form: the parts as an object.
    Json attributes() const { return Json{{"y", y}, {"m", m}, {"d", d}}; }

    bool operator==(const Date& o) const noexcept { return y == o.y && m == o.m && d == o.d; }
    bool operator==(const ClockReading& tm) const noexcept { return *this == fromTimeStruct(tm); }
};

} // namespace tollwick
