#pragma once
// The school calendar: working weeks, calendar regions, one-off and recurring calendar events.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <date/date.h>

#include "model/date.h"
#include "model/json.h"
#include "model/record.h"

namespace tollwick {

// The local working week. The values are codes, not bit masks.
enum class WorkdayMode {
    EVERY_DAY = 7,
    MON_TO_FRI = 15,
    MON_TO_SAT = 16,
    MON_TO_THU = 14,
    SUN_TO_THU = 25,
    SAT_TO_WED = 35,
};

template <>
struct EnumMembers<WorkdayMode> {
    static constexpr std::array values{WorkdayMode::EVERY_DAY,  WorkdayMode::MON_TO_FRI, WorkdayMode::MON_TO_SAT,
                                       WorkdayMode::MON_TO_THU, WorkdayMode::SUN_TO_THU, WorkdayMode::SAT_TO_WED};
};

// The holiday data of one region, as the vendor service delivers it. The date lists hold date
// texts in the zero-padded form of Date::asString and are compared with the clock's date as text.
struct CalendarRegion {
    std::string name;
    WorkdayMode preferredWorkdayMode = WorkdayMode::EVERY_DAY; // stored, not used for resolution
    bool provideHolidays = true;                               // whether the region's school breaks count
    std::string validUntil;                                    // as delivered, not interpreted
    std::vector<std::string> holidays;
    std::vector<std::string> schoolBreaks;
    std::vector<std::string> extraWorkdays; // workdays although they would not be

    static constexpr auto fields = std::tuple{
        field("name", &CalendarRegion::name),
        field("preferredWorkdayMode", &CalendarRegion::preferredWorkdayMode),
        field("provideHolidays", &CalendarRegion::provideHolidays),
        field("validUntil", &CalendarRegion::validUntil),
        field("holidays", &CalendarRegion::holidays),
        field("schoolBreaks", &CalendarRegion::schoolBreaks),
        field("extraWorkdays", &CalendarRegion::extraWorkdays),
    };
};

// The most bytes of an event's name.
inline constexpr std::size_t MAX_EVENT_NAME_BYTES = 200;

// A timetable for a range of days, both ends inclusive.
struct SingleCalendarEvent {
    std::string timeTableId; // "NULL" = no bells
    Date start;
    Date end;
    std::string name; // the user's own words for it; empty in files written before events had names

    // Fails with the errors of Date::decode; does not check that start is not after end.
    static SingleCalendarEvent fromUserInput(std::string timeTableId, std::string_view start, std::string_view end);
    // The same from JSON values: anything but three strings fails with TypeError naming the argument.
    static SingleCalendarEvent fromUserInput(const Json& timeTableId, const Json& start, const Json& end);

    static constexpr auto fields = std::tuple{
        field("timeTableId", &SingleCalendarEvent::timeTableId),
        field("start", &SingleCalendarEvent::start),
        field("end", &SingleCalendarEvent::end),
        laterField("name", &SingleCalendarEvent::name),
    };
};

// A timetable on given weekdays of every, every even or every odd ISO week.
struct ReoccurringCalendarEvent {
    enum class Mode { EVERY_WEEK = 1, EVEN_WEEK = 2, ODD_WEEK = 3 };

    std::string timeTableId;
    Mode mode = Mode::EVERY_WEEK;
    int days = 0; // bit 0 (1) = Monday ... bit 6 (64) = Sunday
    std::string name; // as for a one-off event

    // A mode other than 1, 2 or 3 fails with InvalidValueError.
    static ReoccurringCalendarEvent fromUserInput(std::string timeTableId, int mode, int days);
    // The same from JSON values: anything but a string and two whole numbers fails with TypeError
    // naming the argument.
    static ReoccurringCalendarEvent fromUserInput(const Json& timeTableId, const Json& mode, const Json& days);

    // `dateStr` is an ISO 8601 calendar date (YYYY-MM-DD); other text fails with InvalidValueError.
    bool isActiveOnDate(std::string_view dateStr) const;
    bool isActiveOnDate(const date::year_month_day& d) const;
    // Parity is that of the ISO week number alone: week 53 and the next year's week 1 are both odd.
    bool isActiveOnThisWeek(const date::year_month_day& d) const;

    static constexpr auto fields = std::tuple{
        field("timeTableId", &ReoccurringCalendarEvent::timeTableId),
        field("mode", &ReoccurringCalendarEvent::mode),
        field("days", &ReoccurringCalendarEvent::days),
        laterField("name", &ReoccurringCalendarEvent::name),
    };
};

template <>
struct EnumMembers<ReoccurringCalendarEvent::Mode> {
    using Mode = ReoccurringCalendarEvent::Mode;
    static constexpr std::array values{Mode::EVERY_WEEK, Mode::EVEN_WEEK, Mode::ODD_WEEK};
};

// Weekday of a civil date, 0 = Monday to 6 = Sunday.
int weekdayIndex(const date::year_month_day& d) noexcept;

// Reads a strict ISO 8601 calendar date, YYYY-MM-DD; fails with InvalidValueError.
date::year_month_day parseIsoCalendarDate(std::string_view text);

} // namespace tollwick
