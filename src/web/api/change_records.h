#pragma once
// The change log's entries made from requests: who (the client's address and a short id of its
// session) with what the handler says it changed. Handlers record after the change succeeded.
#include <optional>
#include <string>

#include "model/change_log_entry.h"
#include "web/api/web_context.h"
#include "web/http/web_types.h"

namespace tollwick::web {

// The first 8 hexadecimal digits of the SHA-256 of a session id: it tells sessions apart in the
// log and gives nothing away of the id. Nothing for no id.
std::optional<std::string> shortSessionId(const std::string& sessionId);

// Queues the entry of `change`, made now by the client of `request`. A failure is logged: the
// change itself stands.
void recordChange(WebContext& ctx, const Request& request, const Change& change) noexcept;

} // namespace tollwick::web
