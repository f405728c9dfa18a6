#include "web/api/login_throttle.h"

#include <algorithm>

namespace tollwick::web {

LoginThrottle::LoginThrottle(TimeSource now, std::size_t maxAddresses)
    : _now(std::move(now)), _maxAddresses(std::max<std::size_t>(maxAddresses, 1)) {}

bool LoginThrottle::matters(const Entry& entry, TimePoint now) {
    if (now < entry.lockedUntil)
        return true;
    if (!entry.failures.empty() && now - entry.failures.back() < WINDOW)
        return true;
    // The doubling is remembered for an hour after the last lock ended.
    return entry.locks > 0 && now - entry.lockedUntil < LONGEST_LOCK;
}

std::chrono::seconds LoginThrottle::waitFor(const std::string& address) {
    const TimePoint now = _now();
    std::scoped_lock lock(_mutex);
    const auto it = _entries.find(address);
    if (it == _entries.end() || now >= it->second.lockedUntil)
        return std::chrono::seconds(0);
    // Rounded up, so that a client that waits as told is let in.
    return std::chrono::ceil<std::chrono::seconds>(it->second.lockedUntil - now);
}

void LoginThrottle::failed(const std::string& address) {
    const TimePoint now = _now();
    std::scoped_lock lock(_mutex);
    auto it = _entries.find(address);
    if (it == _entries.end()) {
        makeRoom(now);
        it = _entries.emplace(address, Entry{}).first;
    }
    Entry& entry = it->second;
    entry.lastSeen = now;
    if (!matters(entry, now))
        entry.locks = 0;
    while (!entry.failures.empty() && now - entry.failures.front() >= WINDOW)
        entry.failures.pop_front();
    entry.failures.push_back(now);
    if (entry.failures.size() < MAX_FAILURES)
        return;
    const auto length = std::min<std::chrono::seconds>(FIRST_LOCK * (1LL << std::min(entry.locks, 16)), LONGEST_LOCK);
    entry.lockedUntil = now + length;
    ++entry.locks;
    entry.failures.clear();
}

void LoginThrottle::succeeded(const std::string& address) {
    std::scoped_lock lock(_mutex);
    _entries.erase(address);
}

bool LoginThrottle::firstRefusalOfLock(const std::string& address) {
    const TimePoint now = _now();
    std::scoped_lock lock(_mutex);
    const auto it = _entries.find(address);
    if (it == _entries.end() || now >= it->second.lockedUntil || it->second.refusedLock == it->second.lockedUntil)
        return false;
    it->second.refusedLock = it->second.lockedUntil;
    return true;
}

std::size_t LoginThrottle::rememberedAddresses() const {
    std::scoped_lock lock(_mutex);
    return _entries.size();
}

// Expects the mutex held.
void LoginThrottle::makeRoom(TimePoint now) {
    if (_entries.size() < _maxAddresses)
        return;
    std::erase_if(_entries, [&](const auto& item) { return !matters(item.second, now); });
    if (_entries.size() < _maxAddresses)
        return;
    const auto oldest = std::min_element(_entries.begin(), _entries.end(), [](const auto& a, const auto& b) {
        return a.second.lastSeen < b.second.lastSeen;
    });
    _entries.erase(oldest);
}

} // namespace tollwick::web
