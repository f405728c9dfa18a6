#include "web/api/day_targets.h"

#include <cstdio>
#include <mutex>
#include <regex>
#include <vector>

#include "audio/player_sounds.h"
#include "model/date.h"
#include "scheduling/bell_marks.h"
#include "scheduling/clock_health.h"
#include "scheduling/day_bells.h"
#include "scheduling/day_plan.h"
#include "scheduling/play_resolution.h"
#include "storage/change_log.h"
#include "storage/play_log.h"
#include "web/api/change_summaries.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

Json orNull(const std::optional<int>& value) {
    return value ? Json(*value) : Json(nullptr);
}

std::string checkedDate(const std::string& text) {
    static const std::regex FORM(R"(\d{4}-\d{2}-\d{2})");
    try {
        if (std::regex_match(text, FORM)) {
            Date::decode(text);
            return text;
        }
    } catch (const InvalidValueError&) {
    }
    throw InvalidValueError("Invalid date: '" + text + "' (expected yyyy-mm-dd)");
}

TimeOfDay checkedTime(const std::string& text) {
    static const std::regex FORM(R"(([01]\d|2[0-3]):[0-5]\d)");
    if (!std::regex_match(text, FORM))
        throw InvalidValueError("Invalid time: '" + text + "' (expected HH:MM)");
    return TimeOfDay::decode(text);
}

void requireToday(const std::string& id) {
    if (id != "today")
        throw InvalidValueError("Only today's bells can be kept quiet: use the id \"today\"");
}

// Today's bells with their songs' names, read under the document mutex.
std::vector<NamedBell> namedBellsOfDay(WebContext& ctx, const ClockReading& now) {
    std::scoped_lock lock(ctx.docs.mutex);
    std::vector<NamedBell> out;
    for (DayBell& bell : bellsOfDay(*ctx.docs.db, *ctx.docs.cache, now)) {
        std::string name = songNameOrId(*ctx.docs.db, bell.desc.id);
        out.push_back({std::move(bell), std::move(name)});
    }
    return out;
}

// A row of todayBells: a logged bell as its entry has it, any other as the timetable does. A bell
// missed before `startedAt` (the start of this process, when it began today) was missed because
// nothing ran: its detail says "not running" and "systemStarted" when the system began.
Json answerOf(const MarkedBell& marked, const std::optional<TimeOfDay>& startedAt) {
    const PlayLogEntry* e = marked.logged ? &*marked.logged : nullptr;
    const DayBell* bell = marked.planned ? &marked.planned->bell : nullptr;
    const bool notRunning = marked.mark == BellMark::MISSED && bell && startedAt && *startedAt > bell->at;
    Json out = Json::object();
    out["at"] = marked.at;
    out["source"] = std::string(enumText(e ? e->source : bell->source));
    out["lesson"] = orNull(e ? e->lesson : bell->lesson);
    out["songName"] = e ? e->songName : marked.planned->songName;
    out["mark"] = std::string(enumText(marked.mark));
    out["started"] = e && e->started ? Json(*e->started) : Json(nullptr);
    out["lateMs"] = e && e->lateMs ? Json(*e->lateMs) : Json(nullptr);
    out["detail"] = e ? e->detail : notRunning ? "not running" : "";
    out["systemStarted"] = notRunning ? Json(startedAt->withSeconds()) : Json(nullptr);
    return out;
}

// "Quiet period 'Exam' on 2024-09-03 from 10:00 to 11:00".
std::string plannedSummary(const PlannedQuiet& p) {
    return "Quiet period" + (p.name.empty() ? "" : " " + quotedName(p.name)) + " on " + p.date + " from " +
           p.from.asString() + " to " + p.to.asString() + (p.holdProgrammes ? "" : ", programmes sound");
}

} // namespace

Json playLog(WebContext& ctx, const Args& args) {
    const std::optional<std::string> asked = optionalArg(args, "date");
    const std::string date = asked ? checkedDate(*asked) : ctx.clock.getDateString();
    Json out = Json::array();
    for (const PlayLogEntry& entry : ctx.day.playLog.read(date))
        out.push_back(entry.toAnswer());
    return out;
}

Json nextBell(WebContext& ctx, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    std::scoped_lock lock(ctx.docs.mutex);
    const std::optional<DayBell> next = tollwick::nextBell(*ctx.docs.db, *ctx.docs.cache, ctx.day.quiet, now);
    if (!next)
        return nullptr;
    Json out = Json::object();
    out["at"] = next->at.withSeconds();
    out["inSec"] = next->at.toSecondsOfDay() - TimeOfDay::fromTimeStruct(now).toSecondsOfDay();
    out["source"] = std::string(enumText(next->source));
    out["lesson"] = orNull(next->lesson);
    out["songName"] = songNameOrId(*ctx.docs.db, next->desc.id);
    return out;
}

Json todayBells(WebContext& ctx, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    std::vector<NamedBell> bells = namedBellsOfDay(ctx, now);
    const QuietDay quiet = ctx.day.quiet.today(now);
    std::vector<PlayLogEntry> logged = ctx.day.playLog.read(dateStringOf(now));
    std::optional<TimeOfDay> startedAt;
    if (dateStringOf(ctx.startedAt) == dateStringOf(now))
        startedAt = TimeOfDay::fromTimeStruct(ctx.startedAt);
    Json out = Json::array();
    for (const MarkedBell& marked :
         markTodaysBells(std::move(bells), std::move(logged), quiet, TimeOfDay::fromTimeStruct(now)))
        out.push_back(answerOf(marked, startedAt));
    return out;
}

Json days(WebContext& ctx, const Args& args) {
    const ClockReading now = ctx.clock.getClock();
    const std::optional<std::string> from = optionalArg(args, "from");
    const std::optional<std::string> count = optionalArg(args, "count");
    const date::year_month_day first =
        from ? Date::decode(checkedDate(*from)).toCivil() : Date::fromTimeStruct(now).toCivil();
    const int n = count ? parseInt(*count, "count") : 7;
    std::scoped_lock lock(ctx.docs.mutex);
    return planOfDays(*ctx.docs.db, *ctx.docs.cache, ctx.day.quiet, now, first, n);
}

Json clockHealthOf(WebContext&, const Args&) {
    return clockHealth();
}

Json quietToday(WebContext& ctx, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    const TimeOfDay nowTime = TimeOfDay::fromTimeStruct(now);
    const QuietDay day = ctx.day.quiet.today(now);
    Json periods = Json::array();
    for (const QuietPeriod& p : day.periods)
        if (p.to > nowTime)
            periods.push_back(Json{{"from", p.from.asString()}, {"to", p.to.asString()}});
    Json planned = Json::array();
    for (const PlannedQuiet& p : day.planned)
        if (p.to > nowTime)
            planned.push_back(to_dict(p));
    Json skipped = Json::array();
    for (const TimeOfDay& t : day.skippedBells)
        if (!(nowTime > t))
            skipped.push_back(t.withSeconds());
    Json out = Json::object();
    out["periods"] = std::move(periods);
    out["skippedBells"] = std::move(skipped);
    out["planned"] = std::move(planned);
    return out;
}

Json quietPlanned(WebContext& ctx, const Args&) {
    Json out = Json::array();
    for (const PlannedQuiet& p : ctx.day.quiet.planned(ctx.clock.getClock()))
        out.push_back(to_dict(p));
    return out;
}

std::optional<Change> muteBells(WebContext& ctx, const std::string& id, const Args& args) {
    requireToday(id);
    const TimeOfDay from = checkedTime(requireArg(args, "from"));
    const TimeOfDay to = checkedTime(requireArg(args, "to"));
    ctx.day.quiet.mute(ctx.clock.getClock(), from, to);
    return Change{"quiet.mute", std::nullopt, "Bells quiet today from " + from.asString() + " to " + to.asString()};
}

std::optional<Change> skipNextBell(WebContext& ctx, const std::string& id, const Args&) {
    requireToday(id);
    const ClockReading now = ctx.clock.getClock();
    std::optional<DayBell> next;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        next = tollwick::nextBell(*ctx.docs.db, *ctx.docs.cache, ctx.day.quiet, now);
    }
    if (!next)
        throw InvalidValueError("No more bells ring today");
    ctx.day.quiet.skip(now, next->at);
    return Change{"quiet.skip", std::nullopt, "Bell at " + next->at.asString() + " skipped"};
}

std::optional<Change> clearQuiet(WebContext& ctx, const std::string& id, const Args&) {
    requireToday(id);
    ctx.day.quiet.clear(ctx.clock.getClock());
    return Change{"quiet.clear", std::nullopt, "Today's quiet periods and skipped bells cleared"};
}

std::optional<Change> planQuiet(WebContext& ctx, const std::string&, const Args& args) {
    PlannedQuiet period;
    period.date = checkedDate(requireArg(args, "date"));
    period.from = checkedTime(requireArg(args, "from"));
    period.to = checkedTime(requireArg(args, "to"));
    period.name = requireUtf8(optionalArg(args, "name").value_or(""), "name");
    const std::string hold = optionalArg(args, "holdProgrammes").value_or("true");
    period.holdProgrammes = hold != "false" && hold != "0";
    const std::string summary = plannedSummary(period);
    std::string planned = ctx.day.quiet.plan(ctx.clock.getClock(), std::move(period));
    return Change{"quiet.plan", std::move(planned), summary};
}

std::optional<Change> unplanQuiet(WebContext& ctx, const std::string& id, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    std::string summary = "Quiet period " + id;
    for (const PlannedQuiet& p : ctx.day.quiet.planned(now))
        if (p.id == id)
            summary = plannedSummary(p);
    ctx.day.quiet.unplan(now, id);
    return Change{"quiet.unplan", id, summary};
}

Json changeLog(WebContext& ctx, const Args& args) {
    const std::optional<std::string> asked = optionalArg(args, "date");
    const std::string date = asked ? checkedDate(*asked) : ctx.clock.getDateString();
    Json out = Json::array();
    if (ctx.day.changeLog)
        for (const ChangeLogEntry& entry : ctx.day.changeLog->read(date))
            out.push_back(to_dict(entry));
    return out;
}

Json bellsSwitched(WebContext& ctx, const Args&) {
    const std::optional<ChangeLogEntry> last = ctx.day.changeLog ? ctx.day.changeLog->lastBellsSwitch() : std::nullopt;
    if (!last)
        return nullptr;
    Json out = Json::object();
    out["on"] = last->action == "bells.on";
    out["time"] = last->time;
    out["client"] = last->client;
    out["session"] = last->session ? Json(*last->session) : Json(nullptr);
    return out;
}

} // namespace tollwick::web
