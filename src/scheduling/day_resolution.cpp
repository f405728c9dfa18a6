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

TimetableChoice chooseTimetable(const DB& db, const Cache& cache, int dayOfWeek, const std::string& dateStr) {
    const TypeOfDay typeOfDay = calculateTypeOfDayWithCalendar(db, cache, dayOfWeek, dateStr);
    const Date today = Date::decode(dateStr);
    const CalendarSettings& calendar = db.settings.calendar;
    for (std::size_t i = 0; i < calendar.singleEvents.size(); ++i)
        if (today.isBetween(calendar.singleEvents[i].start, calendar.singleEvents[i].end))
            return {typeOfDay, calendar.singleEvents[i].timeTableId, ChoiceReason::SINGLE_EVENT, i};
    const date::year_month_day civil = today.toCivil();
    for (std::size_t i = 0; i < calendar.reoccurringEvents.size(); ++i)
        if (calendar.reoccurringEvents[i].isActiveOnDate(civil))
            return {typeOfDay, calendar.reoccurringEvents[i].timeTableId, ChoiceReason::RECURRING_EVENT, i};
    if (typeOfDay == TypeOfDay::WORKDAY || typeOfDay == TypeOfDay::EXTRA_WORKDAY)
        return {typeOfDay, db.settings.defaultTimetableId, ChoiceReason::DEFAULT, 0};
    return {typeOfDay, std::string(NULL_ID), ChoiceReason::NO_SCHOOL, 0};
}

std::pair<TypeOfDay, std::string> getTimetableForClock(const DB& db, const Cache& cache, int dayOfWeek,
                                                       const std::string& dateStr) {
    TimetableChoice choice = chooseTimetable(db, cache, dayOfWeek, dateStr);
    return {choice.typeOfDay, std::move(choice.id)};
}

std::optional<std::string> programmeToInfoStr(const DB& db, const Programme* programme) {
    if (!programme)
        return std::nullopt;
    const AudioAsset* song = db.songs.find(programme->songId);
    return programme->time.asString() + " - " + (song ? song->name : programme->songId);
}

std::string timetableOfDay(const DB& db, const Cache& cache, const ClockReading& now) {
    if (const auto& daily = db.settings.dailyPreferences.selectedTimetableId)
        return *daily;
    return getTimetableForClock(db, cache, now.weekday, dateStringOf(now)).second;
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
