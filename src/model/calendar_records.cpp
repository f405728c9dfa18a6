#include "model/calendar_records.h"

#include <cctype>

#include <date/iso_week.h>

#include "runtime/errors.h"

namespace tollwick {

namespace {

const std::string& requireString(const Json& value, const char* argument) {
    if (!value.is_string())
        throw TypeError(std::string("The argument '") + argument + "' must be a string, got " + jsonKindName(value));
    return value.get_ref<const std::string&>();
}

int requireWholeNumber(const Json& value, const char* argument) {
    if (value.is_number()) {
        if (auto v = detail::integralValue<int>(value))
            return *v;
    }
    throw TypeError(std::string("The argument '") + argument + "' must be a whole number, got " +
                    (value.is_number() ? value.dump() : jsonKindName(value)));
}

} // namespace

SingleCalendarEvent SingleCalendarEvent::fromUserInput(std::string timeTableId, std::string_view start,
                                                       std::string_view end) {
    return {std::move(timeTableId), Date::decode(start), Date::decode(end)};
}

SingleCalendarEvent SingleCalendarEvent::fromUserInput(const Json& timeTableId, const Json& start, const Json& end) {
    return fromUserInput(requireString(timeTableId, "timeTableId"), requireString(start, "start"),
                         requireString(end, "end"));
}

ReoccurringCalendarEvent ReoccurringCalendarEvent::fromUserInput(std::string timeTableId, int mode, int days) {
    if (mode < static_cast<int>(Mode::EVERY_WEEK) || mode > static_cast<int>(Mode::ODD_WEEK))
        throw InvalidValueError(std::to_string(mode) + " is not a valid ReoccurringCalendarEvent.Mode");
    return {std::move(timeTableId), static_cast<Mode>(mode), days};
}

ReoccurringCalendarEvent ReoccurringCalendarEvent::fromUserInput(const Json& timeTableId, const Json& mode,
                                                                 const Json& days) {
    return fromUserInput(requireString(timeTableId, "timeTableId"), requireWholeNumber(mode, "mode"),
                         requireWholeNumber(days, "days"));
}

bool ReoccurringCalendarEvent::isActiveOnDate(std::string_view dateStr) const {
    return isActiveOnDate(parseIsoCalendarDate(dateStr));
}

bool ReoccurringCalendarEvent::isActiveOnDate(const date::year_month_day& d) const {
    return isActiveOnThisWeek(d) && ((days >> weekdayIndex(d)) & 1) != 0;
}

bool ReoccurringCalendarEvent::isActiveOnThisWeek(const date::year_month_day& d) const {
    if (mode == Mode::EVERY_WEEK)
        return true;
    const auto week = static_cast<unsigned>(iso_week::year_weeknum_weekday{date::sys_days{d}}.weeknum());
    if (mode == Mode::ODD_WEEK)
        return week % 2 == 1;
    if (mode == Mode::EVEN_WEEK)
        return week % 2 == 0;
    return false;
}

int weekdayIndex(const date::year_month_day& d) noexcept {
    // iso_encoding: Monday = 1 ... Sunday = 7
    return static_cast<int>(date::weekday{date::sys_days{d}}.iso_encoding()) - 1;
}

date::year_month_day parseIsoCalendarDate(std::string_view text) {
    auto fail = [&]() -> date::year_month_day {
        throw InvalidValueError("Invalid isoformat string: '" + std::string(text) + "'");
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return fail();
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i])))
                return fail();
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    }
    const date::year_month_day ymd{date::year{parts[0]}, date::month{static_cast<unsigned>(parts[1])},
                                   date::day{static_cast<unsigned>(parts[2])}};
    if (parts[0] < 1 || !ymd.ok())
        return fail();
    return ymd;
}

} // namespace tollwick
