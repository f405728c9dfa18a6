#pragma once
// The target API: "/api/get/<target>" answers a named view of the system's state, and
// "/api/trigger/<target>/<id>" performs a named action on an id. Both compare the target with
// their fixed list of names in order; an unlisted target fails with "Unknown target: <target>".
//
// Both take the document mutex themselves, for as long as they read or change the documents,
// and never hold it while a download from the vendor service runs.
#include <optional>
#include <string>

#include "model/change_log_entry.h"
#include "model/json.h"
#include "web/api/web_context.h"
#include "web/http/web_types.h"

namespace tollwick::web {

// The program's version, read once: in a development run it comes from running git, far too slow
// for an answer that every open interface polls, and it cannot change while the process runs.
const std::string& runningVersion();

// The JSON value of a get target. Fails with the error of whatever goes wrong.
Json get_target(WebContext& ctx, const std::string& target, const Args& args);

// Performs a trigger target and answers what it changed, for the change log; plays change nothing.
// Fails with the error of whatever goes wrong, keeping what was done before the failure.
std::optional<Change> trigger_target(WebContext& ctx, const std::string& target, const std::string& id,
                                     const Args& args);

} // namespace tollwick::web
