#include "scheduling/alarm.h"

namespace tollwick {

void Alarm::toggle(const DB& db) {
    std::scoped_lock lock(_mutex);
    if (_thread) {
        _thread->abortPlay();
        _thread.reset();
        return;
    }
    _thread = _sounds.playSongById(db, db.settings.alarmSignalId, SoundStarter::INFINITE_REPEAT,
                                   db.settings.alarmDelaySec);
}

bool Alarm::isActive() const {
    std::scoped_lock lock(_mutex);
    return _thread != nullptr;
}

} // namespace tollwick
