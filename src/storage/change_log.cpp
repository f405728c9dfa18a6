#include "storage/change_log.h"

#include <utility>

#include "runtime/errors.h"

namespace tollwick {

void ChangeLog::open(std::filesystem::path directory) {
    _days.open(std::move(directory));
    std::optional<ChangeLogEntry> last;
    for (const std::string& day : _days.daysNewestFirst()) {
        for (ChangeLogEntry& entry : read(day))
            if (entry.switchesBells())
                last = std::move(entry);
        if (last)
            break;
    }
    std::scoped_lock lock(_lastMutex);
    _lastBells = std::move(last);
}

void ChangeLog::record(const ChangeLogEntry& entry) {
    if (entry.switchesBells()) {
        std::scoped_lock lock(_lastMutex);
        _lastBells = entry;
    }
    _days.record(entry.date(), to_json(entry));
}

std::vector<ChangeLogEntry> ChangeLog::read(const std::string& date) {
    std::vector<ChangeLogEntry> entries;
    _days.readDay(date, [&](const std::string& line) {
        ChangeLogEntry entry = from_json<ChangeLogEntry>(line);
        if (entry.date() != date || entry.action.empty())
            throw Error("not an entry of this day");
        entries.push_back(std::move(entry));
    });
    return entries;
}

std::optional<ChangeLogEntry> ChangeLog::lastBellsSwitch() const {
    std::scoped_lock lock(_lastMutex);
    return _lastBells;
}

} // namespace tollwick
