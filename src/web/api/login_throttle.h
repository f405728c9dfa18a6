#pragma once
// Limits password guessing: after 5 wrong passwords from one client address within a minute, that
// address may not try again for a minute, a time that doubles with each further lock, up to an
// hour. Right passwords after the wait log in as always.
//
// Memory stays bounded: at most MAX_ADDRESSES addresses are remembered; when a new one comes and
// the table is full, those with nothing left to remember go first, then the least recently seen.
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tollwick::web {

class LoginThrottle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using TimeSource = std::function<TimePoint()>;

    static constexpr std::size_t MAX_FAILURES = 5;
    static constexpr std::chrono::seconds WINDOW{60};
    static constexpr std::chrono::seconds FIRST_LOCK{60};
    static constexpr std::chrono::seconds LONGEST_LOCK{3600};
    static constexpr std::size_t MAX_ADDRESSES = 4096;

    explicit LoginThrottle(
        TimeSource now = [] { return std::chrono::steady_clock::now(); }, std::size_t maxAddresses = MAX_ADDRESSES);

    // How long `address` must still wait before it may try a password; zero when it may now.
    std::chrono::seconds waitFor(const std::string& address);
    void failed(const std::string& address);
    void succeeded(const std::string& address);
    // Whether `address` is locked and this is the first refusal of its lock; remembers it, so that
    // the change log holds one refusal for each lock, however often a client knocks meanwhile.
    bool firstRefusalOfLock(const std::string& address);

    std::size_t rememberedAddresses() const;

private:
    struct Entry {
        std::deque<TimePoint> failures; // within the last WINDOW
        TimePoint lockedUntil{};
        int locks = 0; // locks so far; the next lasts FIRST_LOCK * 2^locks
        TimePoint lastSeen{};
        TimePoint refusedLock{}; // the lockedUntil of the lock whose first refusal was told
    };
    // Whether the entry still matters at `now`: a lock, recent failures, or a doubled lock to remember.
    static bool matters(const Entry& entry, TimePoint now);
    void makeRoom(TimePoint now);

    TimeSource _now;
    std::size_t _maxAddresses;
    mutable std::mutex _mutex; // guards _entries
    std::unordered_map<std::string, Entry> _entries;
};

} // namespace tollwick::web
