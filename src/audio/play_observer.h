#pragma once
// What a play request tells whoever watches it: when its sound began and how it ended.
#include <string>

#include "model/clock_reading.h"

namespace tollwick {

enum class PlayEnd { PLAYED, STOPPED, FAILED };

class PlayObserver {
public:
    virtual ~PlayObserver() = default;
    // The first file of the request began to sound at `at`. Called at most once.
    virtual void playStarted(const LocalMoment& at) noexcept = 0;
    // The request is over: played to its end, stopped, or failed for the reason `detail` (a
    // missing file, a file that cannot be started). Called exactly once, after playStarted if that
    // came at all; called on the requesting thread when the request was refused at once.
    virtual void playEnded(PlayEnd how, const std::string& detail) noexcept = 0;
};

} // namespace tollwick
