#include "scheduling/logged_seconds.h"

#include <optional>
#include <set>
#include <string>

#include "model/time_of_day.h"
#include "runtime/errors.h"
#include "scheduling/clock.h"
#include "scheduling/handled_seconds.h"

namespace tollwick {

namespace {

// The second of the day an entry was due in, from its text "yyyy-mm-ddTHH:MM:SS"; none for text of
// another form.
std::optional<int> dueSecondOfDay(const std::string& due) {
    if (due.size() != 19 || due[10] != 'T')
        return std::nullopt;
    try {
        return TimeOfDay::decode(std::string_view(due).substr(11)).toSecondsOfDay();
    } catch (const InvalidValueError&) {
        return std::nullopt;
    }
}

} // namespace

std::vector<long long> loggedScheduledSeconds(PlayLog& log, const ClockReading& from) {
    const int fromOfDay = TimeOfDay::fromTimeStruct(from).toSecondsOfDay();
    const long long fromSecond = wallSecondsOf(from);
    std::set<long long> seconds;
    for (const PlayLogEntry& entry : log.read(dateStringOf(from))) {
        const std::optional<int> ofDay = dueSecondOfDay(entry.due);
        if (isScheduledSource(entry.source) && ofDay && *ofDay >= fromOfDay)
            seconds.insert(fromSecond + (*ofDay - fromOfDay));
    }
    // Kept as one span each at worst: beyond MAX_SPANS the earliest would be forgotten first, and
    // they matter most.
    std::vector<long long> out(seconds.begin(), seconds.end());
    if (out.size() > HandledSeconds::MAX_SPANS)
        out.resize(HandledSeconds::MAX_SPANS);
    return out;
}

} // namespace tollwick
