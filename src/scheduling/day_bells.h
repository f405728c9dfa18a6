#pragma once
// The bells of a day: every signal of the timetable in force (the lesson signals of its first
// channel and its extra plays), in the order the scheduler rings them, and the next one to come.
#include <optional>
#include <string>
#include <vector>

#include "model/clock_reading.h"
#include "model/play_log_entry.h"
#include "model/timetable.h"
#include "scheduling/quiet_periods.h"
#include "storage/documents.h"

namespace tollwick {

struct DayBell {
    TimeOfDay at;
    PlaySource source = PlaySource::LESSON_START;
    std::optional<int> lesson; // from 1, for lesson signals
    PlayDesc desc;
};

// Calls visit(at, source, lesson, desc) for each signal of `timetable` in the scheduler's order:
// for each lesson of the first channel its start, end, warning before the start and warning
// before the end; then each slot of each extra play. Signals of the id "NULL" included.
template <class Visit>
void forEachSignal(const TimeTable& timetable, Visit&& visit) {
    const SignalTable& table = timetable.chAt(0);
    int number = 0;
    for (const Lesson& lesson : table.lessons) {
        ++number;
        visit(lesson.start, PlaySource::LESSON_START, std::optional<int>(number), table.startOfClass);
        visit(lesson.end, PlaySource::LESSON_END, std::optional<int>(number), table.endOfClass);
        visit(lesson.start.minusMinutes(table.preStartWaitMin), PlaySource::PRE_START, std::optional<int>(number),
              table.preStart);
        visit(lesson.end.minusMinutes(table.preEndWaitMin), PlaySource::PRE_END, std::optional<int>(number),
              table.preEnd);
    }
    for (const UserPlay& customPlay : timetable.customPlays)
        for (const TimeOfDay& slot : customPlay.slots)
            visit(slot, PlaySource::EXTRA_PLAY, std::optional<int>(), customPlay.desc);
}

// Every bell of `timetable` that plays something, by time (within a second in the scheduler's order).
std::vector<DayBell> bellsOfTimetable(const TimeTable& timetable);

// Every bell of the day of `now` that plays something, by time (within a second in the scheduler's
// order). None while the bells are switched off or no timetable is in force. Expects the document
// mutex held.
std::vector<DayBell> bellsOfDay(const DB& db, const Cache& cache, const ClockReading& now);

// The first bell of that day after the second `now` that is not kept quiet, or none.
std::optional<DayBell> nextBell(const DB& db, const Cache& cache, const QuietPeriods& quiet, const ClockReading& now);

} // namespace tollwick
