#pragma once
// The alarm: the alarm signal repeated without end until it is switched off again.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "model/alert_sink.h"
#include "scheduling/sound_starter.h"

namespace tollwick {

class Alarm {
public:
    // What the alarm plays, resolved when it is switched on (resolveAlarm, under the document
    // mutex, which the function takes itself); nothing plays nothing.
    using Resolve = std::function<std::optional<PlayRequest>()>;

    // Raises "alarm" on `alerts`, when given, each time it is switched on or off; `alerts` must
    // outlive the alarm.
    explicit Alarm(SoundStarter& sounds, AlertSink* alerts = nullptr) : _sounds(sounds), _alerts(alerts) {}
    // Switches the alarm off when it is sounding; otherwise starts what `resolve` answers. When
    // nothing could be played the alarm is off again once its play failed; an error of `resolve`
    // (the signal names no song) reaches the caller.
    void toggle(const Resolve& resolve);
    // Switches the alarm off when it is on; used when every play is stopped at once.
    void switchOff();
    // True while the alarm's play goes on: not once it was switched off, stopped with every other
    // play, or ended by itself (its signal could not be started again).
    bool isActive() const;

private:
    // Expects _mutex held.
    void alert(bool on) noexcept;

    SoundStarter& _sounds;
    AlertSink* _alerts;
    mutable std::mutex _mutex; // guards _thread; never held while the document mutex is taken
    std::shared_ptr<PlayHandle> _thread;
};

} // namespace tollwick
