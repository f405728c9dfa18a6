#pragma once
// What a play request tells whoever watches it: when its sound began and how it ended.
#include <string>

#include "model/clock_reading.h"

namespace tollwick {

// REFUSED: not started at all, as the player's bound on plays in progress demands.
enum class PlayEnd { PLAYED, STOPPED, FAILED, REFUSED };

class PlayObserver {
public:
    virtual ~PlayObserver() = default;
    // The first file of the request began to sound at `at`. Called at most once.
    virtual void playStarted(const LocalMoment& at) noexcept = 0;
    // The request is over: played to its end, stopped, failed for the reason `detail` (a missing
    // file, a file that cannot be started) or refused for the reason `detail`. Called exactly
    // once, after playStarted if that came at all; called before the request returns when it
    // ended at once.
    virtual void playEnded(PlayEnd how, const std::string& detail) noexcept = 0;
};

} // namespace tollwick
