#include "scheduling/alarm.h"

namespace tollwick {

namespace {

// Expects the alarm's mutex held.
bool abortIfOn(std::shared_ptr<PlayHandle>& thread) {
    if (!thread)
        return false;
    thread->abortPlay();
    thread.reset();
    return true;
}

} // namespace

void Alarm::toggle(const DB& db) {
    std::scoped_lock lock(_mutex);
    if (abortIfOn(_thread))
        return;
    _thread = _sounds.playSongById(db, db.settings.alarmSignalId, SoundStarter::INFINITE_REPEAT,
                                   db.settings.alarmDelaySec);
}

void Alarm::switchOff() {
    std::scoped_lock lock(_mutex);
    abortIfOn(_thread);
}

bool Alarm::isActive() const {
    std::scoped_lock lock(_mutex);
    return _thread != nullptr;
}

} // namespace tollwick
