#include "model/date.h"

#include <cstdio>

#include "model/text_parse.h"
#include "runtime/errors.h"

namespace tollwick {

Date Date::fromCivil(const date::year_month_day& ymd) noexcept {
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

date::year_month_day Date::toCivil() const {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31)
        throw InvalidValueError("Invalid date: " + asString());
    const date::year_month_day ymd{date::year{y}, date::month{static_cast<unsigned>(m)},
                                   date::day{static_cast<unsigned>(d)}};
    if (!ymd.ok())
        throw InvalidValueError("Invalid date: " + asString());
    return ymd;
}

bool Date::isBetween(const Date& start, const Date& end) const {
    const date::sys_days day{toCivil()};
    return date::sys_days{start.toCivil()} <= day && day <= date::sys_days{end.toCivil()};
}

std::string Date::asString() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

Date Date::decode(std::string_view text) {
    const auto parts = splitAt(trimmed(text), '-');
    if (parts.size() != 3)
        throw InvalidValueError("Invalid date format");
    const Date result{parseDecimalInt(parts[0]), parseDecimalInt(parts[1]), parseDecimalInt(parts[2])};
    result.toCivil();
    return result;
}

Fingerprint Date::fingerprint() const noexcept {
    return hashOf(scalarFingerprint(y), scalarFingerprint(m), scalarFingerprint(d));
}

} // namespace tollwick
