#include "scheduling/alarm.h"

#include <algorithm>

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

void Alarm::toggle(const DB& db) {
    std::scoped_lock lock(_mutex);
    // An alarm that ended by itself shows as off, so this toggle switches it on again.
    if (abortIfSounding(_thread))
        return;
    // A pause outside the range the interface accepts may come from a database older than that check.
    const double delay = std::clamp(db.settings.alarmDelaySec, 0.0, PlayDesc::MAX_DELAY_SEC);
    _thread = _sounds.playSongById(db, db.settings.alarmSignalId, PlayOrigin{PlaySource::ALARM},
                                   SoundStarter::INFINITE_REPEAT, delay);
}

void Alarm::switchOff() {
    std::scoped_lock lock(_mutex);
    abortIfSounding(_thread);
}

bool Alarm::isActive() const {
    std::scoped_lock lock(_mutex);
    return _thread && !_thread->hasEnded();
}

} // namespace tollwick
