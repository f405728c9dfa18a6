#include "support/fake_pauses.h"

#include <algorithm>
#include <optional>

namespace tollwick::test {

PauseClock::Time FakePauses::now() const {
    std::scoped_lock lock(_mutex);
    return _now;
}

void FakePauses::wake() noexcept {
    { std::scoped_lock lock(_mutex); }
    _changed.notify_all();
}

std::vector<PauseClock::Duration> FakePauses::asked() const {
    std::scoped_lock lock(_mutex);
    return _asked;
}

void FakePauses::waitFor(Duration length, const CutShort& cutShort) {
    std::unique_lock lock(_mutex);
    _asked.push_back(length);
    const std::uint64_t number = _pauses++;
    const Time end = _now + length;
    _underWay.emplace(number, Pause{end, &cutShort});
    _changed.notify_all();
    _changed.wait(lock, [&] { return cutShort() || _now >= end; });
    _underWay.erase(number);
}

bool FakePauses::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::vector<std::uint64_t> seen;
        {
            std::scoped_lock lock(_mutex);
            for (const auto& pause : _underWay)
                seen.push_back(pause.first);
        }
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::unique_lock lock(_mutex);
        std::optional<Time> next;
        for (const std::uint64_t number : seen) {
            const auto found = _underWay.find(number);
            if (found == _underWay.end() || found->second.end <= _now || (*found->second.cutShort)())
                continue; // over, or ending anyway
            next = std::min(next.value_or(found->second.end), found->second.end);
        }
        if (next) {
            _now = *next;
            _changed.notify_all();
        } else {
            // A thread is at work between two pauses, or done() waits for more than pauses.
            _changed.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
}

} // namespace tollwick::test
