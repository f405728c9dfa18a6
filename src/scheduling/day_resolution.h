#pragma once
// What kind of day a date is, which timetable applies to it, and what today's schedule state is.
// Everything is computed afresh from the documents on every call; callers hold the document mutex.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "model/clock_reading.h"
#include "model/record.h"
#include "storage/documents.h"

namespace tollwick {

enum class TypeOfDay { WORKDAY, NON_WORKDAY, HOLIDAY, SCHOOL_BREAK, EXTRA_WORKDAY };

template <>
struct EnumTexts<TypeOfDay> {
    static constexpr std::array texts{
        std::pair{TypeOfDay::WORKDAY, std::string_view("WORKDAY")},
        std::pair{TypeOfDay::NON_WORKDAY, std::string_view("NON_WORKDAY")},
        std::pair{TypeOfDay::HOLIDAY, std::string_view("HOLIDAY")},
        std::pair{TypeOfDay::SCHOOL_BREAK, std::string_view("SCHOOL_BREAK")},
        // An extra workday is written the way the interface knows it.
        std::pair{TypeOfDay::EXTRA_WORKDAY, std::string_view("REPLACED_WORKDAY")},
    };
};

// Why the timetable in force is in force.
enum class TimetableSource { DISABLED, NORMAL, DAILY_OVERRIDE };

template <>
struct EnumTexts<TimetableSource> {
    static constexpr std::array texts{
        std::pair{TimetableSource::DISABLED, std::string_view("DISABLED")},
        std::pair{TimetableSource::NORMAL, std::string_view("NORMAL")},
        std::pair{TimetableSource::DAILY_OVERRIDE, std::string_view("DAILY_OVERRIDE")},
    };
};

// Today's schedule state.
struct TimetableInfo {
    std::string id = NULL_ID; // the timetable in force, or "NULL" when nothing rings
    TimetableSource source = TimetableSource::NORMAL;
    std::string date; // as the clock writes it
    int dayOfWeek = 0; // 0 = Monday
    TypeOfDay typeOfDay = TypeOfDay::WORKDAY;
    std::optional<std::string> programmeToday; // the next programme still to come today

    static constexpr auto fields = std::tuple{
        field("id", &TimetableInfo::id),
        field("source", &TimetableInfo::source),
        field("date", &TimetableInfo::date),
        field("dayOfWeek", &TimetableInfo::dayOfWeek),
        field("typeOfDay", &TimetableInfo::typeOfDay),
        field("programmeToday", &TimetableInfo::programmeToday),
    };
};

// The kind of a day. Region entries come first (holiday, then extra workday, then school break when
// both the region and the settings count them); otherwise the working week decides. A region id
// with no cached region is no error: the working week decides.
TypeOfDay calculateTypeOfDayWithCalendar(const DB& db, const Cache& cache, int dayOfWeek, const std::string& dateStr);

// What decided the timetable of a day.
enum class ChoiceReason { DEFAULT, NO_SCHOOL, SINGLE_EVENT, RECURRING_EVENT, DAILY_OVERRIDE };

template <>
struct EnumTexts<ChoiceReason> {
    static constexpr std::array texts{
        std::pair{ChoiceReason::DEFAULT, std::string_view("DEFAULT")},
        std::pair{ChoiceReason::NO_SCHOOL, std::string_view("NO_SCHOOL")},
        std::pair{ChoiceReason::SINGLE_EVENT, std::string_view("SINGLE_EVENT")},
        std::pair{ChoiceReason::RECURRING_EVENT, std::string_view("RECURRING_EVENT")},
        std::pair{ChoiceReason::DAILY_OVERRIDE, std::string_view("DAILY_OVERRIDE")},
    };
};

// The timetable of a day as the calendar decides it, and why.
struct TimetableChoice {
    TypeOfDay typeOfDay = TypeOfDay::WORKDAY;
    std::string id = NULL_ID;
    ChoiceReason reason = ChoiceReason::DEFAULT;
    std::size_t eventIndex = 0; // the deciding event's position among its kind, for the event reasons
};

// The kind of a day and the timetable for it: the first single event that covers the date, else
// the first recurring event active on it, else the default timetable on workdays and extra
// workdays and "NULL" on every other day. A date text that cannot be read fails with its decode error.
TimetableChoice chooseTimetable(const DB& db, const Cache& cache, int dayOfWeek, const std::string& dateStr);

// The kind of a day and the id of chooseTimetable.
std::pair<TypeOfDay, std::string> getTimetableForClock(const DB& db, const Cache& cache, int dayOfWeek,
                                                       const std::string& dateStr);

// "<time> - <song name>" for a programme, or nothing for none. A programme whose song was deleted
// shows the song id instead of a name, so a missing song never stops the bells.
std::optional<std::string> programmeToInfoStr(const DB& db, const Programme* programme);

// The id of the timetable the day of `now` rings by, whether or not the bells are switched on:
// the daily choice when one is made, the calendar's otherwise.
std::string timetableOfDay(const DB& db, const Cache& cache, const ClockReading& now);

// Today's state for the clock reading `now`: the timetable in force and why, and the next programme.
TimetableInfo getActiveTimetableInfo(const DB& db, const Cache& cache, const ClockReading& now);

} // namespace tollwick
