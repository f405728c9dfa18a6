#pragma once
// The alarm: the alarm signal repeated without end until it is switched off again.
#include <memory>
#include <mutex>

#include "scheduling/sound_starter.h"

namespace tollwick {

class Alarm {
public:
    explicit Alarm(SoundStarter& sounds) : _sounds(sounds) {}

    // Switches the alarm off when it is sounding; otherwise starts the alarm signal of the
    // settings with their delay (0 to MAX_DELAY_SEC seconds) between repetitions. When nothing could
    // be played the alarm stays off; when the signal names no song the error reaches the caller.
    // Expects the document mutex held.
    void toggle(const DB& db);

    // Switches the alarm off when it is on; used when every play is stopped at once.
    void switchOff();

    // True while the alarm's play goes on: not once it was switched off, stopped with every other
    // play, or ended by itself (its signal could not be started again).
    bool isActive() const;

private:
    SoundStarter& _sounds;
    mutable std::mutex _mutex; // guards _thread
    std::shared_ptr<PlayHandle> _thread;
};

} // namespace tollwick
