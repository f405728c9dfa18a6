#pragma once
// The days ahead as the school will hear them: for each date its kind, the timetable the calendar
// gives it and why, the bells of that timetable, the programmes booked on it and its planned quiet
// periods. Read from the same rules the scheduler rings by, so a plan never disagrees with a bell.
#include <vector>

#include <date/date.h>

#include "model/clock_reading.h"
#include "model/json.h"
#include "scheduling/quiet_periods.h"
#include "storage/documents.h"

namespace tollwick {

// The most days one plan covers: six weeks, as a month grid shows.
inline constexpr int MAX_PLANNED_DAYS = 42;

// {"bellsOn", "today", "days": [{"date", "dayOfWeek", "isToday", "typeOfDay", "timetableId",
// "reason", "event", "bells": [{"at", "source", "lesson", "songName"}], "programmes": [{"at",
// "name"}], "quiet": [planned periods]}]} for `count` days from `from`. Today's entry takes the
// daily timetable choice, when one is made. The bells are those the timetable would ring, also while
// the bells are switched off ("bellsOn" says so). A count outside 1 to MAX_PLANNED_DAYS, or days
// beyond the year 9999, fail with InvalidValueError. Expects the document mutex held.
Json planOfDays(const DB& db, const Cache& cache, const QuietPeriods& quiet, const ClockReading& now,
                const date::year_month_day& from, int count);

} // namespace tollwick
