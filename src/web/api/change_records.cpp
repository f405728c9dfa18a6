#include "web/api/change_records.h"

#include <spdlog/spdlog.h>

#include "model/play_log_entry.h"
#include "storage/change_log.h"
#include "storage/crypto.h"

namespace tollwick::web {

std::optional<std::string> shortSessionId(const std::string& sessionId) {
    if (sessionId.empty())
        return std::nullopt;
    return getHash(sessionId).substr(0, 8);
}

void recordChange(WebContext& ctx, const Request& request, const Change& change) noexcept {
    if (!ctx.day.changeLog)
        return;
    try {
        ChangeLogEntry entry;
        entry.time = isoSecondText(ctx.clock.preciseNow().reading);
        entry.client = request.remoteAddress;
        entry.session = shortSessionId(request.session.sessionId());
        entry.action = change.action;
        entry.target = change.target;
        entry.summary = change.summary;
        ctx.day.changeLog->record(entry);
    } catch (const std::exception& e) {
        spdlog::error("Could not record the change {}: {}", change.action, e.what());
    }
}

} // namespace tollwick::web
