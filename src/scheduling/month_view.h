#pragma once
// The month calendar of the interface: whole weeks from Monday to Sunday around one month, each day
// with its kind and its timetable as the present calendar settings give them.
#include <utility>
#include <vector>

#include <date/date.h>

#include "model/clock_reading.h"
#include "model/json.h"
#include "storage/documents.h"

namespace tollwick {

// The dates of the month `monthOffset` months from the clock's month, from the Monday on or before
// its 1st to the Sunday on or after its last day (28 to 42 dates), each with whether it lies in that
// month. Dates are civil days, so a daylight-saving change can neither skip nor repeat one. An offset
// that leaves the years 1 to 9999 fails with InvalidValueError.
std::vector<std::pair<date::year_month_day, bool>> generatePaddedCalendarDates(const ClockReading& now,
                                                                                long long monthOffset = 0);

// {"year", "month", "defaultTimetableId", "days": [{"id", "day", "typeOfDay", "isToday", "isGivenMonth"}]}
// for that month. On today's entry the daily timetable choice, when set, replaces the calendar's id.
// Expects the document mutex held.
Json getCalendarInfoForMonth(const DB& db, const Cache& cache, const ClockReading& now, long long offset = 0);

} // namespace tollwick
