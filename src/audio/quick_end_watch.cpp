#include "audio/quick_end_watch.h"

#include <spdlog/spdlog.h>

namespace tollwick {

bool QuickEndWatch::ended(const std::string& path, Clock::duration lasted, Clock::time_point now) {
    if (lasted >= QUICK_END) {
        if (_failing && _unreported > 0)
            spdlog::warn("{} plays again; failed starts since the last report: {}", path, _unreported);
        _failing = false;
        return false;
    }
    if (!_failing) {
        spdlog::warn("{} ended {:.2f} s after it started; it is started again once a second, and further "
                     "failures are reported once a minute",
                     path, std::chrono::duration<double>(lasted).count());
        _failing = true;
        _unreported = 0;
        _reported = now;
        return true;
    }
    ++_unreported;
    if (now - _reported >= REPORT_PERIOD) {
        spdlog::warn("{} keeps ending at once; failed starts in the last minute: {}", path, _unreported);
        _unreported = 0;
        _reported = now;
    }
    return true;
}

} // namespace tollwick
