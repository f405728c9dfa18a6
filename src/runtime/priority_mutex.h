#pragma once
// PriorityInheritingMutex: a mutex whose holder runs at the priority of the most urgent thread
// waiting for it, for as long as it holds it.
//
// The scheduler's thread runs at a real-time priority and the request workers below the normal
// one. When a worker that holds a plain mutex is pushed off the processor by ordinary work, a bell
// waits for that work too. With this mutex the holder is lifted to the waiting scheduler's
// priority, finishes its short hold at once and drops back. Where the platform has no such
// mutexes (Windows, which lifts starved threads by itself), it is a plain mutex.
#include <memory>

namespace tollwick {

class PriorityInheritingMutex {
public:
    PriorityInheritingMutex();
    ~PriorityInheritingMutex();
    PriorityInheritingMutex(const PriorityInheritingMutex&) = delete;
    PriorityInheritingMutex& operator=(const PriorityInheritingMutex&) = delete;

    // As std::mutex: lock() throws std::system_error when the platform refuses.
    void lock();
    bool try_lock() noexcept;
    void unlock() noexcept;

private:
    struct Native;
    std::unique_ptr<Native> _native;
};

} // namespace tollwick
