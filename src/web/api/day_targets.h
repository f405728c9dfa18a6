#pragma once
// The targets of the day at a glance: what rang (the play log), what rings next, today's bells
// with what became of each, the clock's health, and the quiet periods of today.
#include <optional>
#include <string>

#include "model/change_log_entry.h"
#include "model/json.h"
#include "web/api/web_context.h"
#include "web/http/web_types.h"

namespace tollwick::web {

// Get targets.
// The play log of the query parameter `date` ("yyyy-mm-dd", today when absent), in time order;
// InvalidValueError for a date that is not one.
Json playLog(WebContext& ctx, const Args& args);
// {"at", "inSec", "source", "lesson", "songName"} of the next bell still due today that is not
// kept quiet, or null.
Json nextBell(WebContext& ctx, const Args& args);
// Every bell of today in time order, with its mark: "played", "stopped", "failed" or "skipped"
// as the play log has it, "coming", "quiet" (coming, but kept quiet) or "missed" (due, and not
// in the log).
Json todayBells(WebContext& ctx, const Args& args);
Json clockHealthOf(WebContext& ctx, const Args& args);
// {"periods": [{"from", "to"}], "skippedBells": [...], "planned": [planned periods of today]}:
// today's quiet times not yet over.
Json quietToday(WebContext& ctx, const Args& args);
// [{"id", "date", "from", "to", "name", "holdProgrammes"}]: the planned quiet periods not yet over,
// by date and start.
Json quietPlanned(WebContext& ctx, const Args& args);

// The plan of the days from the query parameter `from` ("yyyy-mm-dd", today when absent) for
// `count` days (7 when absent, at most six weeks): see planOfDays.
Json days(WebContext& ctx, const Args& args);

// The change log of the query parameter `date` ("yyyy-mm-dd", today when absent), oldest first;
// InvalidValueError for a date that is not one.
Json changeLog(WebContext& ctx, const Args& args);
// {"on", "time", "client", "session"} of the last switch of the bells off or on, or null.
Json bellsSwitched(WebContext& ctx, const Args& args);

// Trigger targets, each answering what it changed, for the change log; on the id "today" only.
// Keeps the bells quiet from the query parameter `from` up to `to` (both "HH:MM").
std::optional<Change> muteBells(WebContext& ctx, const std::string& id, const Args& args);
// Skips the next bell; InvalidValueError when no bell rings any more today.
std::optional<Change> skipNextBell(WebContext& ctx, const std::string& id, const Args& args);
// Ends today's quiet periods and skips.
std::optional<Change> clearQuiet(WebContext& ctx, const std::string& id, const Args& args);

// Plans a quiet period for the query parameters `date` ("yyyy-mm-dd"), `from` and `to`
// ("HH:MM"), with an optional `name` and `holdProgrammes` ("false" or "0" lets programmes sound).
std::optional<Change> planQuiet(WebContext& ctx, const std::string& id, const Args& args);
// Drops the planned quiet period `id`.
std::optional<Change> unplanQuiet(WebContext& ctx, const std::string& id, const Args& args);

} // namespace tollwick::web
