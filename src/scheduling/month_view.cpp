#include "scheduling/month_view.h"

#include "model/calendar_records.h"
#include "model/codec.h"
#include "model/date.h"
#include "runtime/errors.h"
#include "scheduling/clock.h"
#include "scheduling/day_resolution.h"

namespace tollwick {

std::vector<std::pair<date::year_month_day, bool>> generatePaddedCalendarDates(const ClockReading& now,
                                                                               long long monthOffset) {
    // Months counted from year 0, so any offset is one division away from a year and a month.
    constexpr long long maxOffset = 12LL * 10000;
    if (monthOffset > maxOffset || monthOffset < -maxOffset)
        throw InvalidValueError("The month offset " + std::to_string(monthOffset) + " is out of range");
    const long long index = static_cast<long long>(now.year) * 12 + (now.month - 1) + monthOffset;
    const long long year = index >= 0 ? index / 12 : (index - 11) / 12;
    const auto month = static_cast<unsigned>(index - year * 12 + 1);
    if (year < 1 || year > 9999)
        throw InvalidValueError("The month offset " + std::to_string(monthOffset) +
                                " leads outside the years 1 to 9999");

    const date::year_month first = date::year{static_cast<int>(year)} / date::month{month};
    const date::sys_days firstDay{first / 1};
    const date::sys_days lastDay{first / date::last};
    const date::sys_days monday = firstDay - (date::weekday{firstDay} - date::Monday);
    const date::sys_days sunday = lastDay + (date::Sunday - date::weekday{lastDay});

    std::vector<std::pair<date::year_month_day, bool>> dates;
    for (date::sys_days d = monday; d <= sunday; d += date::days{1}) {
        const date::year_month_day ymd{d};
        dates.emplace_back(ymd, ymd.month() == first.month());
    }
    return dates;
}

Json getCalendarInfoForMonth(const DB& db, const Cache& cache, const ClockReading& now, long long offset) {
    const std::string todayStr = dateStringOf(now);
    const auto& daily = db.settings.dailyPreferences.selectedTimetableId;
    Json days = Json::array();
    Json year, month;
    for (const auto& [ymd, isGivenMonth] : generatePaddedCalendarDates(now, offset)) {
        if (isGivenMonth && year.is_null()) {
            year = static_cast<int>(ymd.year());
            month = static_cast<unsigned>(ymd.month());
        }
        const std::string dateStr = Date::fromCivil(ymd).asString();
        const bool isToday = dateStr == todayStr;
        auto [typeOfDay, id] = getTimetableForClock(db, cache, weekdayIndex(ymd), dateStr);
        if (isToday && daily)
            id = *daily;
        Json entry = Json::object();
        entry["id"] = id;
        entry["day"] = static_cast<unsigned>(ymd.day());
        entry["typeOfDay"] = std::string(enumText(typeOfDay));
        entry["isToday"] = isToday;
        entry["isGivenMonth"] = isGivenMonth;
        days.push_back(std::move(entry));
    }
    Json answer = Json::object();
    answer["year"] = year;
    answer["month"] = month;
    answer["defaultTimetableId"] = db.settings.defaultTimetableId;
    answer["days"] = std::move(days);
    return answer;
}

} // namespace tollwick
