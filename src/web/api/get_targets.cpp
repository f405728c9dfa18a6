// The get targets and the two endpoints of the target API.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <spdlog/spdlog.h>

#include "audio/play_bound.h"
#include "model/json_text.h"
#include "runtime/paths.h"
#include "runtime/version.h"
#include "scheduling/day_resolution.h"
#include "scheduling/month_view.h"
#include "web/api/change_records.h"
#include "web/api/day_targets.h"
#include "web/api/handlers.h"
#include "web/api/target_api.h"
#include "web/api/web_input.h"

namespace tollwick::web {

// A failure is not remembered: the next request tries again.
const std::string& runningVersion() {
    static const std::string text = getVersion();
    return text;
}

namespace {

// {"name", "id"} of every timetable, in stored order. Expects the document mutex held.
Json timetableList(const DB& db) {
    Json list = Json::array();
    for (const auto& [key, timetable] : db.timetables)
        list.push_back(Json{{"name", timetable.name}, {"id", key}});
    return list;
}

Json status(WebContext& ctx, const Args&) {
    Json out = Json::object();
    out["time"] = ctx.clock.getTimeString();
    out["isPlaying"] = ctx.player.isPlaying();
    out["version"] = runningVersion();
    return out;
}

// What sounds now, for every page: whether anything plays, and whether the alarm is on. Read
// without the document mutex, so that it answers at once whatever else is going on.
Json playing(WebContext& ctx, const Args&) {
    Json out = Json::object();
    out["isPlaying"] = ctx.player.isPlaying();
    out["alarmActive"] = ctx.alarm.isActive();
    return out;
}

// {"token"}: what a monitoring tool sends as its bearer token to read /metrics.
Json metricsToken(WebContext& ctx, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    return Json{{"token", ctx.docs.shadow.edit().metricsToken()}};
}

Json info(WebContext& ctx, const Args&) {
    Json out = Json::object();
    out["version"] = runningVersion();
    out["internetAccess"] = ctx.api.networkState() == NetworkState::OK;
    return out;
}

// Expects the document mutex held.
Json overviewOf(const Documents& docs, const OverviewAnswerCache::Key& key) {
    const DB& db = *docs.db;
    const Cache& cache = *docs.cache;
    Json out = Json::object();
    out["passwordMissing"] = key.passwordMissing;
    out["timetables"] = timetableList(db);
    out["activeTimetableInfo"] = to_dict(getActiveTimetableInfo(db, cache, key.now));
    out["time"] = formatClockReading(key.now, "%H:%M:%S");
    out["isRelease"] = isRelease();
    out["alarmActive"] = key.alarmActive;
    out["calendar"] = getCalendarInfoForMonth(db, cache, key.now, 0);
    return out;
}

// What the overview is made of, read under the document mutex.
OverviewAnswerCache::Key overviewKey(WebContext& ctx, const ClockReading& now) {
    return {ctx.docs.db.touches(), ctx.docs.cache.touches(), now, !ctx.docs.shadow->isPasswordSet(),
            ctx.alarm.isActive()};
}

Json overview(WebContext& ctx, const Args&) {
    const ClockReading now = ctx.clock.getClock();
    std::scoped_lock lock(ctx.docs.mutex);
    return overviewOf(ctx.docs, overviewKey(ctx, now));
}

// The overview's text, made again only when something it shows may have changed; otherwise the
// answer costs a look at a few counters under the document mutex.
std::shared_ptr<const std::string> overviewText(WebContext& ctx) {
    OverviewAnswerCache& cache = ctx.overviewAnswer;
    const ClockReading now = ctx.clock.getClock();
    OverviewAnswerCache::Key key;
    Json value;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        key = overviewKey(ctx, now);
        {
            std::scoped_lock cacheLock(cache.mutex);
            if (cache.key == key)
                return cache.text;
        }
        value = overviewOf(ctx.docs, key);
    }
    auto text = std::make_shared<const std::string>(toJsonText(value));
    std::scoped_lock cacheLock(cache.mutex);
    cache.key = key;
    cache.text = text;
    return text;
}

// Targets that write many records copy them under the document mutex and encode the copy after
// it, so that the scheduler never waits for the encoding of a large database.
Json signals(WebContext& ctx, const Args&) {
    MapDb<AudioAsset> songs;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        songs = ctx.docs.db->songs;
    }
    return songs.asTable([](const AudioAsset& song) { return song.isSignal(); });
}

// Each programme row, extended by the name and length of its song; a programme whose song is
// gone fails the whole request with the song's KeyError.
Json programmeInfo(WebContext& ctx, const Args&) {
    MapDb<Programme> programmes;
    MapDb<AudioAsset> songs;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        programmes = ctx.docs.db->programmes;
        songs = ctx.docs.db->songs;
    }
    Json rows = programmes.asTable();
    for (Json& row : rows) {
        const AudioAsset& song = songs.get(row["songId"].get<std::string>());
        row["programName"] = song.name;
        row["lengthSec"] = song.lengthSec;
    }
    Json out = Json::object();
    out["programmes"] = std::move(rows);
    out["date"] = ctx.clock.getDateString();
    return out;
}

// Copied under the document mutex and encoded after it, like the record lists above: the
// settings hold every calendar event the user added.
Json settings(WebContext& ctx, const Args&) {
    Settings copy;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        copy = ctx.docs.db->settings;
    }
    return toAttributes(copy);
}

Json calendarInfo(WebContext& ctx, const Args&) {
    Json timetables;
    MapDb<CalendarRegion> regions;
    std::string lastUpdate;
    CalendarSettings calendarSettings;
    std::string defaultTimetableId;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const DB& db = *ctx.docs.db;
        timetables = timetableList(db);
        regions = ctx.docs.cache->calendarRegions;
        lastUpdate = ctx.docs.cache->calendarLastUpdated;
        calendarSettings = db.settings.calendar;
        defaultTimetableId = db.settings.defaultTimetableId;
    }
    Json calendar = to_dict(calendarSettings);
    Json out = Json::object();
    out["timetables"] = std::move(timetables);
    out["regions"] = regions.asTable();
    out["lastUpdate"] = lastUpdate;
    out["date"] = ctx.clock.getDateString();
    out["singleEvents"] = std::move(calendar["singleEvents"]);
    out["reoccurringEvents"] = std::move(calendar["reoccurringEvents"]);
    out["defaultTimetableId"] = defaultTimetableId;
    return out;
}

Json calendarDays(WebContext& ctx, const Args& args) {
    const long long offset = parseWholeNumber(requireArg(args, "offset"), "offset");
    const ClockReading now = ctx.clock.getClock();
    std::scoped_lock lock(ctx.docs.mutex);
    return getCalendarInfoForMonth(*ctx.docs.db, *ctx.docs.cache, now, offset);
}

// What start-up warned about, as texts; empty after an ordinary start.
Json startupWarnings(WebContext& ctx, const Args&) {
    return ctx.startupWarnings;
}

using GetTarget = Json (*)(WebContext&, const Args&);

// Compared in this order; the first name that equals the target answers.
constexpr std::pair<std::string_view, GetTarget> GET_TARGETS[] = {
    {"status", status},
    {"info", info},
    {"overview", overview},
    {"signals", signals},
    {"programmeInfo", programmeInfo},
    {"settings", settings},
    {"calendarInfo", calendarInfo},
    {"calendarDays", calendarDays},
    {"startupWarnings", startupWarnings},
    {"playLog", playLog},
    {"changeLog", changeLog},
    {"bellsSwitched", bellsSwitched},
    {"nextBell", nextBell},
    {"todayBells", todayBells},
    {"clockHealth", clockHealthOf},
    {"quietToday", quietToday},
    {"quietPlanned", quietPlanned},
    {"days", days},
    {"playing", playing},
    {"metricsToken", metricsToken},
};

std::string argsText(const Args& args) {
    Json object = Json::object();
    for (const auto& [name, value] : args)
        object[name] = isValidUtf8(value) ? value : "<not UTF-8>";
    return toJsonText(object);
}

} // namespace

Json get_target(WebContext& ctx, const std::string& target, const Args& args) {
    for (const auto& [name, compute] : GET_TARGETS)
        if (name == target)
            return compute(ctx, args);
    throw InvalidValueError("Unknown target: " + target);
}

Response get_endpoint(WebContext& ctx, Request& request) {
    const std::string& target = request.param("target");
    spdlog::debug("GET'{}' with args: {}", target, argsText(request.args));
    Json value;
    try {
        // The one target polled by every open interface is answered from its cached text.
        if (target == "overview")
            return Response(200, JSON_TYPE, *overviewText(ctx));
        value = get_target(ctx, target, request.args);
    } catch (const std::exception& e) {
        return BadRequest(e.what());
    }
    return json_response(value);
}

Response trigger_endpoint(WebContext& ctx, Request& request) {
    const std::string& target = request.param("target");
    const std::string& id = request.param("id");
    spdlog::debug("TRIGGER '{}' with id {}", target, id);
    std::optional<Change> change;
    try {
        change = trigger_target(ctx, target, id, request.args);
    } catch (const TooManyPlaysError& e) {
        // Not the request's fault: the same request succeeds once some sounds have ended.
        return Response(429, PLAIN_TEXT, e.what());
    } catch (const std::exception& e) {
        return BadRequest(e.what());
    }
    if (change)
        recordChange(ctx, request, *change);
    return plain_text("ok");
}

} // namespace tollwick::web
