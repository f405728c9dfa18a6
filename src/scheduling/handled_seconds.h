#pragma once
// The wall-clock seconds whose duties the scheduler has done, kept as a few spans of consecutive
// seconds (wallSecondsOf). After the clock steps back, the seconds it shows a second time are
// found here and ring nothing twice.
#include <cstddef>
#include <deque>
#include <utility>

namespace tollwick {

class HandledSeconds {
public:
    // A new span starts only where the clock jumped, so a few cover days of running; beyond this
    // many the oldest is forgotten.
    static constexpr std::size_t MAX_SPANS = 16;

    bool contains(long long second) const noexcept {
        for (const auto& [first, last] : _spans)
            if (second >= first && second <= last)
                return true;
        return false;
    }

    void add(long long second) {
        if (!_spans.empty() && second == _spans.back().second + 1) {
            _spans.back().second = second;
            return;
        }
        if (contains(second))
            return;
        _spans.emplace_back(second, second);
        if (_spans.size() > MAX_SPANS)
            _spans.pop_front();
    }

private:
    std::deque<std::pair<long long, long long>> _spans; // first and last second, the newest at the back
};

} // namespace tollwick
