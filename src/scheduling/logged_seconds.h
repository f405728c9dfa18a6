#pragma once
// The seconds a process before this one has handled, as the play log tells them. A restart can
// land within the second of a bell (an upgrade, a watchdog): the scheduler counts the seconds in
// which the last process already started or skipped something as handled, so nothing rings twice.
#include <vector>

#include "model/clock_reading.h"
#include "storage/play_log.h"

namespace tollwick {

// The wall-clock seconds (wallSecondsOf) from the second `from` to the end of its day in which
// `log` holds a scheduled play (isScheduledSource), whatever became of it: in order, and the
// earliest HandledSeconds::MAX_SPANS of them at most. Reads the log's day file: for start-up,
// never for the scheduler's thread.
std::vector<long long> loggedScheduledSeconds(PlayLog& log, const ClockReading& from);

} // namespace tollwick
