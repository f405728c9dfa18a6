#pragma once
// Waiting in tests for what another thread or process does: poll a condition until it holds, up to
// a time limit, rather than sleeping a fixed time and hoping.
#include <chrono>
#include <thread>

namespace tollwick::test {

// Polls `condition` every 5 ms until it holds (true) or `limit` passed (false).
template <class F>
bool eventually(F&& condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace tollwick::test
