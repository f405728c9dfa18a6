#include "scheduling/alarm.h"

namespace tollwick {

namespace {

// Expects the alarm's mutex held. Answers whether a sounding alarm was switched off.
bool abortIfSounding(std::shared_ptr<PlayHandle>& thread) {
    if (!thread)
        return false;
    const bool sounding = !thread->hasEnded();
    thread->abortPlay();
    thread.reset();
    return sounding;
}

} // namespace

void Alarm::alert(bool on) noexcept {
    if (!_alerts)
        return;
    try {
        _alerts->raise(Alert{"alarm", on ? "alarmOn" : "alarmOff", {}, on ? "on" : "off"});
    } catch (...) {
        // Out of memory for one alert: the alarm itself goes on.
    }
}

void Alarm::toggle(const Resolve& resolve) {
    {
        std::scoped_lock lock(_mutex);
        // An alarm that ended by itself shows as off, so this toggle switches it on again.
        if (abortIfSounding(_thread)) {
            alert(false);
            return;
        }
    }
    // Resolved without the alarm's mutex: whoever reads isActive() with the document mutex held
    // must never wait for a toggle that waits for the document mutex.
    std::optional<PlayRequest> request = resolve();
    std::scoped_lock lock(_mutex);
    if (!request || (_thread && !_thread->hasEnded()))
        return; // nothing to play, or another toggle switched it on meanwhile
    _thread = _sounds.play(std::move(*request), PlayOrigin{PlaySource::ALARM});
    alert(true);
}

void Alarm::switchOff() {
    std::scoped_lock lock(_mutex);
    if (abortIfSounding(_thread))
        alert(false);
}

bool Alarm::isActive() const {
    std::scoped_lock lock(_mutex);
    return _thread && !_thread->hasEnded();
}

} // namespace tollwick
