#pragma once
// PlayerRegistry: the state the player front shares with its playing threads. Threads hold it by
// std::shared_ptr and never reach the Player itself, so a thread that outlives its Player (which
// start-up never destroys, but a test does) touches nothing that is gone.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/pause_clock.h"
#include "audio/play_bound.h"
#include "runtime/priority_mutex.h"

namespace tollwick {

class PlayerThread;

class PlayerRegistry {
public:
    // The threads pause by `pauses`.
    explicit PlayerRegistry(std::shared_ptr<PauseClock> pauses) : _pauses(std::move(pauses)) {}

    // Registers a thread that is about to start, as one play of `priority`; it counts as running
    // until threadEnded(). Once `bound` threads are registered a play BY_HAND is refused (false,
    // nothing registered), and a DUE one aborts and removes the oldest registered play BY_HAND,
    // if there is one, before it is registered.
    bool add(std::shared_ptr<PlayerThread> thread, PlayPriority priority, std::size_t bound);

    // Removes `thread` from the registry; does nothing when it is not there (stopAll emptied it).
    void _onThreadEnd(const PlayerThread& thread);

    // Counts one started thread as ended; its last touch of shared state.
    void threadEnded() noexcept;

    // Calls abortPlay on every registered thread, started or about to start, then empties the registry.
    void abortAllAndClear();

    // True while at least one thread is registered.
    bool hasThreads() const;

    // Waits until every thread added has ended; false when `timeout` passed first.
    bool waitUntilAllEnded(std::chrono::steady_clock::duration timeout) const;
    // The same without a time limit.
    void waitUntilAllEnded() const;

    // Sleeps for `duration` of the pause clock, or less once `aborted` is set (and wakeSleepers
    // called) or close() is called. Takes no lock that any other operation here needs, so
    // registering and stopping never wait for a sleeping thread.
    void sleepFor(std::chrono::duration<double> duration, const std::atomic<bool>& aborted);

    // The pause clock's time now: what the threads time their plays by.
    PauseClock::Time now() const { return _pauses->now(); }

    // Wakes every sleeper to look at its abort flag again; call after setting one.
    void wakeSleepers() noexcept;

    // From now on sleeps end at once: the owner is going away and its threads must end promptly.
    void close();

    // A number for the next thread's name, unique within this registry.
    std::uint64_t nextSerial();

private:
    // Guards _threads, _running and _serial; never held while sleeping or calling a file player.
    // A bell's start registers its thread here while requests ask whether anything plays.
    mutable PriorityInheritingMutex _mutex;
    mutable std::condition_variable_any _allEnded;
    struct Registered {
        std::shared_ptr<PlayerThread> thread;
        PlayPriority priority;
    };
    std::vector<Registered> _threads; // in order of registration
    std::size_t _running = 0;
    std::uint64_t _serial = 0;

    // Sleepers wait on the pause clock's own lock, so that sleeping holds no registry lock.
    const std::shared_ptr<PauseClock> _pauses;
    std::atomic<bool> _closing{false};
};

} // namespace tollwick
