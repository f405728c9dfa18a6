#include "storage/play_log.h"

#include <algorithm>
#include <map>

#include "model/uuid.h"
#include "runtime/errors.h"

namespace tollwick {

std::string PlayLog::newEntryId() {
    return newUuid4();
}

void PlayLog::record(const PlayLogEntry& entry) {
    _days.record(entry.dueDate(), to_json(entry));
}

std::vector<PlayLogEntry> PlayLog::read(const std::string& date) {
    std::vector<PlayLogEntry> entries;
    std::map<std::string, std::size_t> indexOf; // entry id to its place in `entries`
    _days.readDay(date, [&](const std::string& line) {
        PlayLogEntry entry = from_json<PlayLogEntry>(line);
        if (entry.id.empty() || entry.dueDate() != date)
            throw Error("not an entry of this day");
        const auto [it, added] = indexOf.try_emplace(entry.id, entries.size());
        if (added)
            entries.push_back(std::move(entry));
        else
            entries[it->second] = std::move(entry);
    });
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PlayLogEntry& a, const PlayLogEntry& b) { return a.due < b.due; });
    return entries;
}

} // namespace tollwick
