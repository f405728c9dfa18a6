#include "web/api/day_targets.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <regex>
#include <vector>

#include "audio/player_sounds.h"
#include "model/date.h"
#include "scheduling/clock_health.h"
#include "scheduling/day_bells.h"
#include "storage/play_log.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

// "HH:MM:SS", always with the seconds.
std::string secondText(const TimeOfDay& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.h, t.m, t.s);
    return buf;
}

// The song's name, or its id when it is gone.
std::string songNameOf(const DB& db, const std::string& id) {
    const AudioAsset* song = db.songs.find(id);
    return song ? song->name : id;
}

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

bool isTimetableSource(PlaySource source) {
    return source == PlaySource::LESSON_START || source == PlaySource::LESSON_END || source == PlaySource::PRE_START ||
           source == PlaySource::PRE_END || source == PlaySource::EXTRA_PLAY;
}

struct NamedBell {
    DayBell bell;
    std::string songName;
};

// Today's bells with their songs' names, read under the document mutex.
std::vector<NamedBell> namedBellsOfDay(WebContext& ctx, const ClockReading& now) {
    const Documents& docs = ctx.docs;
    std::scoped_lock lock(ctx.docs.mutex);
    std::vector<NamedBell> out;
    for (DayBell& bell : bellsOfDay(*docs.db, *docs.cache, now)) {
        std::string name = songNameOf(*docs.db, bell.desc.id);
        out.push_back({std::move(bell), std::move(name)});
    }
    return out;
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
    const Documents& docs = ctx.docs;
    std::scoped_lock lock(ctx.docs.mutex);
    const std::optional<DayBell> next = tollwick::nextBell(*docs.db, *docs.cache, ctx.day.quiet, now);
    if (!next)
        return nullptr;
    Json out = Json::object();
    out["at"] = secondText(next->at);
    out["inSec"] = next->at.toSecondsOfDay() - TimeOfDay::fromTimeStruct(now).toSecondsOfDay();
    out["source"] = std::string(enumText(next->source));
    out["lesson"] = orNull(next->lesson);
    out["songName"] = songNameOf(*docs.db, next->desc.id);
    return out;
}

Json todayBells(WebContext& ctx, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    const TimeOfDay nowTime = TimeOfDay::fromTimeStruct(now);
    const std::vector<NamedBell> bells = namedBellsOfDay(ctx, now);
    const QuietDay quiet = ctx.day.quiet.today(now);
    std::vector<PlayLogEntry> logged = ctx.day.playLog.read(dateStringOf(now));
    std::erase_if(logged, [](const PlayLogEntry& e) { return !isTimetableSource(e.source); });

    struct Row {
        std::string at;
        Json value;
    };
    std::vector<Row> rows;
    std::vector<bool> used(logged.size(), false);
    const auto row = [](const std::string& at, PlaySource source, const std::optional<int>& lesson,
                        const std::string& songName, const std::string& mark) {
        Json out = Json::object();
        out["at"] = at;
        out["source"] = std::string(enumText(source));
        out["lesson"] = orNull(lesson);
        out["songName"] = songName;
        out["mark"] = mark;
        out["started"] = nullptr;
        out["lateMs"] = nullptr;
        out["detail"] = "";
        return out;
    };
    const auto fromEntry = [&](const PlayLogEntry& e) {
        Json out = row(e.due.substr(11), e.source, e.lesson, e.songName, std::string(enumText(e.outcome)));
        out["started"] = e.started ? Json(*e.started) : Json(nullptr);
        out["lateMs"] = e.lateMs ? Json(*e.lateMs) : Json(nullptr);
        out["detail"] = e.detail;
        return out;
    };
    for (const NamedBell& named : bells) {
        const std::string at = secondText(named.bell.at);
        // The log's last word on this bell today, if it has one.
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < logged.size(); ++i)
            if (!used[i] && logged[i].due.substr(11) == at && logged[i].source == named.bell.source &&
                logged[i].lesson == named.bell.lesson)
                found = i;
        if (found) {
            used[*found] = true;
            rows.push_back({at, fromEntry(logged[*found])});
            continue;
        }
        const bool coming = !(nowTime > named.bell.at);
        const std::string mark = !coming ? "missed" : quiet.isQuiet(named.bell.at) ? "quiet" : "coming";
        rows.push_back({at, row(at, named.bell.source, named.bell.lesson, named.songName, mark)});
    }
    // Bells of a timetable that was in force earlier today.
    for (std::size_t i = 0; i < logged.size(); ++i)
        if (!used[i])
            rows.push_back({logged[i].due.substr(11), fromEntry(logged[i])});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.at < b.at; });
    Json out = Json::array();
    for (Row& r : rows)
        out.push_back(std::move(r.value));
    return out;
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
    Json skipped = Json::array();
    for (const TimeOfDay& t : day.skippedBells)
        if (!(nowTime > t))
            skipped.push_back(secondText(t));
    Json out = Json::object();
    out["periods"] = std::move(periods);
    out["skippedBells"] = std::move(skipped);
    return out;
}

void muteBells(WebContext& ctx, const std::string& id, const Args& args) {
    requireToday(id);
    const TimeOfDay from = checkedTime(requireArg(args, "from"));
    const TimeOfDay to = checkedTime(requireArg(args, "to"));
    ctx.day.quiet.mute(ctx.clock.getClock(), from, to);
}

void skipNextBell(WebContext& ctx, const std::string& id, const Args&) {
    requireToday(id);
    const ClockReading now = ctx.clock.getClock();
    std::optional<DayBell> next;
    {
        const Documents& docs = ctx.docs;
        std::scoped_lock lock(ctx.docs.mutex);
        next = tollwick::nextBell(*docs.db, *docs.cache, ctx.day.quiet, now);
    }
    if (!next)
        throw InvalidValueError("No more bells ring today");
    ctx.day.quiet.skip(now, next->at);
}

void clearQuiet(WebContext& ctx, const std::string& id, const Args&) {
    requireToday(id);
    ctx.day.quiet.clear(ctx.clock.getClock());
}

} // namespace tollwick::web
