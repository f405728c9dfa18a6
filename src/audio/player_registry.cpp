#include "audio/player_registry.h"

#include "audio/player_thread.h"

#include <algorithm>

namespace tollwick {

bool PlayerRegistry::add(std::shared_ptr<PlayerThread> thread, PlayPriority priority, std::size_t bound) {
    std::scoped_lock lock(_mutex);
    if (_threads.size() >= bound) {
        if (priority == PlayPriority::BY_HAND)
            return false;
        // Told to stop under the lock, as stopAll tells them, and no longer counted from then: it
        // falls silent within a tick.
        const auto oldest = std::find_if(_threads.begin(), _threads.end(),
                                         [](const Registered& r) { return r.priority == PlayPriority::BY_HAND; });
        if (oldest != _threads.end()) {
            oldest->thread->abortPlay();
            _threads.erase(oldest);
        }
    }
    _threads.push_back({std::move(thread), priority});
    ++_running;
    return true;
}

void PlayerRegistry::_onThreadEnd(const PlayerThread& thread) {
    std::scoped_lock lock(_mutex);
    const auto found =
        std::find_if(_threads.begin(), _threads.end(), [&](const Registered& r) { return r.thread.get() == &thread; });
    if (found != _threads.end()) {
        _threads.erase(found);
    }
}

void PlayerRegistry::threadEnded() noexcept {
    std::scoped_lock lock(_mutex);
    --_running;
    _allEnded.notify_all();
}

void PlayerRegistry::abortAllAndClear() {
    std::scoped_lock lock(_mutex);
    // abortPlay only sets a flag and wakes sleepers, so it is safe under the lock; doing it there
    // means no thread registered meanwhile is dropped from the registry without being told to
    // stop. Threads registered but not yet started are told too: they end as soon as they start.
    for (const Registered& registered : _threads) {
        registered.thread->abortPlay();
    }
    _threads.clear();
}

bool PlayerRegistry::hasThreads() const {
    std::scoped_lock lock(_mutex);
    return !_threads.empty();
}

bool PlayerRegistry::waitUntilAllEnded(std::chrono::steady_clock::duration timeout) const {
    std::unique_lock lock(_mutex);
    return _allEnded.wait_for(lock, timeout, [this] { return _running == 0; });
}

void PlayerRegistry::waitUntilAllEnded() const {
    std::unique_lock lock(_mutex);
    _allEnded.wait(lock, [this] { return _running == 0; });
}

void PlayerRegistry::sleepFor(std::chrono::duration<double> duration, const std::atomic<bool>& aborted) {
    _pauses->pause(duration, [&] { return _closing.load() || aborted.load(); });
}

void PlayerRegistry::wakeSleepers() noexcept {
    _pauses->wake();
}

void PlayerRegistry::close() {
    _closing = true;
    _pauses->wake();
}

std::uint64_t PlayerRegistry::nextSerial() {
    std::scoped_lock lock(_mutex);
    return ++_serial;
}

} // namespace tollwick
