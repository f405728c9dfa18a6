#include "model/settings.h"

namespace tollwick {

std::vector<int> CalendarSettings::getWorkdays() const {
    switch (workdayMode) {
    case WorkdayMode::MON_TO_FRI:
        return {0, 1, 2, 3, 4};
    case WorkdayMode::MON_TO_SAT:
        return {0, 1, 2, 3, 4, 5};
    case WorkdayMode::MON_TO_THU:
        return {0, 1, 2, 3};
    case WorkdayMode::SUN_TO_THU:
        return {6, 0, 1, 2, 3};
    case WorkdayMode::SAT_TO_WED:
        return {5, 6, 0, 1, 2};
    case WorkdayMode::EVERY_DAY:
        break;
    }
    return {0, 1, 2, 3, 4, 5, 6};
}

void DailyPreferences::resetOnNewDay(int day) noexcept {
    if (_lastDay != day) {
        selectedTimetableId.reset();
        _lastDay = day;
    }
}

} // namespace tollwick
