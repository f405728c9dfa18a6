#include "audio/pause_clock.h"

#include <algorithm>

namespace tollwick {

void PauseClock::pause(std::chrono::duration<double> length, const CutShort& cutShort) {
    constexpr std::chrono::duration<double> LONGEST = std::chrono::hours(24 * 3653);
    if (!(length.count() > 0)) {
        return; // no pause, also for a NaN
    }
    waitFor(std::chrono::duration_cast<Duration>(std::min(length, LONGEST)), cutShort);
}

void SteadyPauseClock::wake() noexcept {
    { std::scoped_lock lock(_mutex); }
    _woken.notify_all();
}

void SteadyPauseClock::waitFor(Duration length, const CutShort& cutShort) {
    std::unique_lock lock(_mutex);
    _woken.wait_for(lock, length, [&] { return cutShort(); });
}

} // namespace tollwick
