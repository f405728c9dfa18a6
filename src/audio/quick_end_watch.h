#pragma once
// QuickEndWatch: watches the plays of an endless repeat (the alarm) for files that end at once,
// as when the file is damaged or the sound device is busy and the player program exits straight
// away. Such a repeat would otherwise start its program again and again in a tight loop with a log
// line each time. While plays keep ending at once, the repeat pauses at least RETRY_PAUSE before
// the next start and the failures are logged once a minute, with their count, instead of once a
// start.
#include <chrono>
#include <string>

namespace tollwick {

class QuickEndWatch {
public:
    using Clock = std::chrono::steady_clock;

    // A play that lasts less than this counts as ended at once.
    static constexpr std::chrono::milliseconds QUICK_END{500};
    // The shortest pause before the next start after a play that ended at once.
    static constexpr std::chrono::seconds RETRY_PAUSE{1};
    // How often the plays that keep ending at once are logged.
    static constexpr std::chrono::seconds REPORT_PERIOD{60};

    // Records a play of `path` that lasted `lasted` and ended (not aborted) at `now`; answers
    // whether it ended at once.
    bool ended(const std::string& path, Clock::duration lasted, Clock::time_point now);

    // True while plays keep ending at once: their starts are then not logged one by one.
    bool failing() const noexcept { return _failing; }

private:
    bool _failing = false;
    long long _unreported = 0; // quick ends since the last line about them
    Clock::time_point _reported;
};

} // namespace tollwick
