#include "scheduling/day_resolution.h"

#include <algorithm>

#include "model/date.h"
#include "scheduling/clock.h"

namespace tollwick {

namespace {

bool listed(const std::vector<std::string>& dates, const std::string& dateStr) {
    return std::find(dates.begin(), dates.end(), dateStr) != dates.end();
}

} // namespace

TypeOfDay calculateTypeOfDayWithCalendar(const DB& db, const Cache& cache, int dayOfWeek, const std::string& dateStr) {
    const CalendarSettings& calendar = db.settings.calendar;
    if (const CalendarRegion* region = cache.calendarRegions.find(calendar.syncRegionId)) {
        if (listed(region->holidays, dateStr))
            return TypeOfDay::HOLIDAY;
        if (listed(region->extraWorkdays, dateStr))
            return TypeOfDay::EXTRA_WORKDAY;
        if (region->provideHolidays && calendar.syncSchoolHolidays && listed(region->schoolBreaks, dateStr))
            return TypeOfDay::SCHOOL_BREAK;
    }
    const std::vector<int> workdays = calendar.getWorkdays();
    return std::find(workdays.begin(), workdays.end(), dayOfWeek) != workdays.end() ? TypeOfDay::WORKDAY
                                                                                    : TypeOfDay::NON_WORKDAY;
}

std::pair<TypeOfDay, std::string> getTimetableForClock(const DB& db, const Cache& cache, int dayOfWeek,
                                                       const std::string& dateStr) {
    const TypeOfDay typeOfDay = calculateTypeOfDayWithCalendar(db, cache, dayOfWeek, dateStr);
    const Date today = Date::decode(dateStr);
    const CalendarSettings& calendar = db.settings.calendar;
    for (const SingleCalendarEvent& event : calendar.singleEvents)
        if (today.isBetween(event.start, event.end))
            return {typeOfDay, event.timeTableId};
    const date::year_month_day civil = today.toCivil();
    for (const ReoccurringCalendarEvent& event : calendar.reoccurringEvents)
        if (event.isActiveOnDate(civil))
            return {typeOfDay, event.timeTableId};
    const bool isWorkday = typeOfDay == TypeOfDay::WORKDAY || typeOfDay == TypeOfDay::EXTRA_WORKDAY;
    return {typeOfDay, isWorkday ? db.settings.defaultTimetableId : std::string(NULL_ID)};
}

std::optional<std::string> programmeToInfoStr(const DB& db, const Programme* programme) {
    if (!programme)
        return std::nullopt;
    const AudioAsset* song = db.songs.find(programme->songId);
    return programme->time.asString() + " - " + (song ? song->name : programme->songId);
}

TimetableInfo getActiveTimetableInfo(const DB& db, const Cache& cache, const ClockReading& now) {
    const std::string dateStr = dateStringOf(now);
    auto [typeOfDay, idForToday] = getTimetableForClock(db, cache, now.weekday, dateStr);
    TimetableInfo info{NULL_ID, TimetableSource::DISABLED, dateStr, now.weekday, typeOfDay, std::nullopt};
    if (!db.settings.schedulerEnable)
        return info;

    const Date today = Date::fromTimeStruct(now);
    const TimeOfDay time = TimeOfDay::fromTimeStruct(now);
    const Programme* next = nullptr;
    for (const auto& [id, p] : db.programmes)
        if (p.date == today && p.time > time && (!next || next->time > p.time))
            next = &p;

    info.id = idForToday;
    info.source = TimetableSource::NORMAL;
    if (const auto& daily = db.settings.dailyPreferences.selectedTimetableId) {
        if (*daily != idForToday)
            info.source = TimetableSource::DAILY_OVERRIDE;
        info.id = *daily;
    }
    info.programmeToday = programmeToInfoStr(db, next);
    return info;
}

} // namespace tollwick
