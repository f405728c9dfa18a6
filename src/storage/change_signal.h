#pragma once
// ChangeSignal: how a thread that waits for the documents to change learns of a change at once,
// without looking at them again and again.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace tollwick {

class ChangeSignal {
public:
    // Wakes every waiter to look at its condition again. Cheap: safe with the document mutex held.
    void ring() noexcept {
        { std::scoped_lock lock(_mutex); }
        _woken.notify_all();
    }

    // Waits until `ready()` holds, looked at again after each ring, or until `deadline` when one is
    // given. Answers what `ready()` answered last. A change rung after `ready()` was last looked at
    // is never missed, as long as what it reads was changed before the ring.
    template <class Ready>
    bool waitUntil(Ready ready, std::optional<std::chrono::steady_clock::time_point> deadline) {
        std::unique_lock lock(_mutex);
        if (!deadline) {
            _woken.wait(lock, ready);
            return true;
        }
        return _woken.wait_until(lock, *deadline, ready);
    }

private:
    std::mutex _mutex;
    std::condition_variable _woken;
};

} // namespace tollwick
