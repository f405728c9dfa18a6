#include "scheduling/day_bells.h"

#include <algorithm>

#include "scheduling/day_resolution.h"

namespace tollwick {

std::vector<DayBell> bellsOfTimetable(const TimeTable& timetable) {
    std::vector<DayBell> bells;
    forEachSignal(timetable,
                  [&](const TimeOfDay& at, PlaySource source, std::optional<int> lesson, const PlayDesc& desc) {
                      if (desc.id != NULL_ID)
                          bells.push_back({at, source, lesson, desc});
                  });
    std::stable_sort(bells.begin(), bells.end(), [](const DayBell& a, const DayBell& b) { return a.at < b.at; });
    return bells;
}

std::vector<DayBell> bellsOfDay(const DB& db, const Cache& cache, const ClockReading& now) {
    const TimeTable* timetable = db.timetables.find(getActiveTimetableInfo(db, cache, now).id);
    if (!db.settings.schedulerEnable || !timetable)
        return {};
    return bellsOfTimetable(*timetable);
}

std::optional<DayBell> nextBell(const DB& db, const Cache& cache, const QuietPeriods& quiet, const ClockReading& now) {
    const TimeOfDay nowTime = TimeOfDay::fromTimeStruct(now);
    const QuietDay quietToday = quiet.today(now);
    for (DayBell& bell : bellsOfDay(db, cache, now))
        if (bell.at > nowTime && !quietToday.isQuiet(bell.at))
            return std::move(bell);
    return std::nullopt;
}

} // namespace tollwick
