#include "scheduling/day_plan.h"

#include <algorithm>
#include <string>

#include "model/calendar_records.h"
#include "model/codec.h"
#include "model/date.h"
#include "runtime/errors.h"
#include "scheduling/clock.h"
#include "scheduling/day_bells.h"
#include "scheduling/day_resolution.h"
#include "scheduling/play_resolution.h"

namespace tollwick {

namespace {

Json eventOf(const CalendarSettings& calendar, const TimetableChoice& choice) {
    if (choice.reason == ChoiceReason::SINGLE_EVENT) {
        const SingleCalendarEvent& e = calendar.singleEvents.at(choice.eventIndex);
        return Json{{"kind", "single"},       {"index", choice.eventIndex}, {"name", e.name},
                    {"start", e.start.asString()}, {"end", e.end.asString()}};
    }
    if (choice.reason == ChoiceReason::RECURRING_EVENT) {
        const ReoccurringCalendarEvent& e = calendar.reoccurringEvents.at(choice.eventIndex);
        return Json{{"kind", "recurring"}, {"index", choice.eventIndex}, {"name", e.name},
                    {"mode", static_cast<int>(e.mode)}, {"days", e.days}};
    }
    return nullptr;
}

Json bellsOf(const DB& db, const std::string& timetableId) {
    Json out = Json::array();
    const TimeTable* timetable = db.timetables.find(timetableId);
    if (!timetable)
        return out;
    for (const DayBell& bell : bellsOfTimetable(*timetable))
        out.push_back(Json{{"at", bell.at.withSeconds()},
                           {"source", std::string(enumText(bell.source))},
                           {"lesson", bell.lesson ? Json(*bell.lesson) : Json(nullptr)},
                           {"songName", songNameOrId(db, bell.desc.id)}});
    return out;
}

Json programmesOn(const DB& db, const Date& day) {
    std::vector<const Programme*> found;
    for (const auto& [id, p] : db.programmes)
        if (p.date == day)
            found.push_back(&p);
    std::stable_sort(found.begin(), found.end(), [](const Programme* a, const Programme* b) { return a->time < b->time; });
    Json out = Json::array();
    for (const Programme* p : found)
        out.push_back(Json{{"at", p->time.withSeconds()}, {"name", songNameOrId(db, p->songId)}});
    return out;
}

Json quietOn(const std::vector<PlannedQuiet>& planned, const std::string& dateStr) {
    Json out = Json::array();
    for (const PlannedQuiet& p : planned)
        if (p.date == dateStr)
            out.push_back(to_dict(p));
    return out;
}

} // namespace

Json planOfDays(const DB& db, const Cache& cache, const QuietPeriods& quiet, const ClockReading& now,
                const date::year_month_day& from, int count) {
    if (count < 1 || count > MAX_PLANNED_DAYS)
        throw InvalidValueError("The number of days is from 1 to " + std::to_string(MAX_PLANNED_DAYS));
    const date::sys_days first{from};
    if (!from.ok() || date::year_month_day{first + date::days{count - 1}}.year() > date::year{9999})
        throw InvalidValueError("The days must lie within the years 1 to 9999");

    const std::string todayStr = dateStringOf(now);
    const auto& daily = db.settings.dailyPreferences.selectedTimetableId;
    const std::vector<PlannedQuiet> planned = quiet.planned(now);
    Json days = Json::array();
    for (int i = 0; i < count; ++i) {
        const date::year_month_day ymd{first + date::days{i}};
        const Date day = Date::fromCivil(ymd);
        const std::string dateStr = day.asString();
        const bool isToday = dateStr == todayStr;
        TimetableChoice choice = chooseTimetable(db, cache, weekdayIndex(ymd), dateStr);
        Json event = eventOf(db.settings.calendar, choice);
        if (isToday && daily && *daily != choice.id) {
            choice.id = *daily;
            choice.reason = ChoiceReason::DAILY_OVERRIDE;
            event = nullptr;
        }
        Json entry = Json::object();
        entry["date"] = dateStr;
        entry["dayOfWeek"] = weekdayIndex(ymd);
        entry["isToday"] = isToday;
        entry["typeOfDay"] = std::string(enumText(choice.typeOfDay));
        entry["timetableId"] = choice.id;
        entry["reason"] = std::string(enumText(choice.reason));
        entry["event"] = std::move(event);
        entry["bells"] = bellsOf(db, choice.id);
        entry["programmes"] = programmesOn(db, day);
        entry["quiet"] = quietOn(planned, dateStr);
        days.push_back(std::move(entry));
    }
    Json answer = Json::object();
    answer["bellsOn"] = db.settings.schedulerEnable;
    answer["today"] = todayStr;
    answer["days"] = std::move(days);
    return answer;
}

} // namespace tollwick
