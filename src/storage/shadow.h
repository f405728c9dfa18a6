#pragma once
// The password store ("_shadow.json"): one optional password shared by every user of the interface,
// kept as SHA-256 of the installation's salt followed by the password, and the sessions that are
// logged in. The salt also signs the browser's session cookies; a signed cookie counts as logged in
// only while its session is listed here, so logging out and changing the password end sessions for
// good, also across a restart. A session also ends by itself: after SESSION_IDLE_LIMIT without use,
// and SESSION_AGE_LIMIT after its login at the latest. Times are wall-clock seconds (as
// wallSecondsOf counts them) given by the caller.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "model/json.h"
#include "model/record.h"

namespace tollwick {

// When a logged-in session began and was last used.
struct SessionTimes {
    std::string session; // its hash, as _sessions lists it
    std::int64_t started = 0;
    std::int64_t lastUsed = 0;

    static constexpr auto fields = std::tuple{
        field("session", &SessionTimes::session),
        field("started", &SessionTimes::started),
        field("lastUsed", &SessionTimes::lastUsed),
    };
};

struct Shadow {
    std::optional<std::string> _salt; // 64 lowercase hex digits; made on first use, never changed
    std::optional<std::string> _pwd;  // the password hash; none while no password is set
    // SHA-256 of the id of each logged-in session, oldest first. Files written before sessions were
    // kept lack the member: no session is logged in then. Only hashes are kept, so that a copy of
    // the file cannot be turned into a session.
    std::vector<std::string> _sessions;
    // The times of the sessions of _sessions. Files written before sessions ended by themselves lack
    // the member; their sessions count from the first time they are used again.
    std::vector<SessionTimes> _sessionTimes;
    // The bearer token that the monitoring answer asks for while a password is set: 64 hex digits,
    // made on first use. Files written before there was one lack the member. Kept as it is, since
    // Settings shows it; only the owner may read this file.
    std::optional<std::string> _metricsToken;

    // Only the owner may read the password store.
    static constexpr bool FILE_IS_PRIVATE = true;
    // The oldest sessions are ended beyond this many.
    static constexpr std::size_t MAX_SESSIONS = 256;
    static constexpr std::int64_t SESSION_IDLE_LIMIT = 12 * 3600;
    static constexpr std::int64_t SESSION_AGE_LIMIT = 30 * 24 * 3600;
    // A session's last use is noted at most this often, so that a busy interface does not have the
    // file written at every request.
    static constexpr std::int64_t SESSION_USE_GRANULARITY = 300;

    // Every parsable file is accepted.
    static bool checkAfterLoad(Json&) noexcept { return true; }

    bool isPasswordSet() const noexcept { return _pwd.has_value(); }
    // The salt, made from 32 secure random bytes when missing or empty.
    const std::string& getCurrentSalt();
    // The empty text is a valid password. The salt stays, so sessions stay signed alike.
    void setPassword(std::string_view userPassword);
    // Always false while no password is set; the comparison takes constant time.
    bool isPasswordMatching(std::string_view userPassword);

    // The stored hash of `password` under `salt`; pure, so callers compute it without holding the
    // document mutex.
    static std::string hashPassword(std::string_view salt, std::string_view password);

    // Starts a logged-in session at `now` and answers its new random id.
    std::string startSession(std::int64_t now);
    // Whether the session `id` is logged in at `now`: listed, neither idle nor old beyond the limits.
    bool isSessionLive(std::string_view id, std::int64_t now) const noexcept;
    // Notes that the live session `id` was used at `now`, and ends the sessions that ran out.
    void useSession(std::string_view id, std::int64_t now);
    void endSession(std::string_view id);
    // Ends every session but `id`'s.
    void endSessionsExcept(std::string_view id);

    // The monitoring token, made from 32 secure random bytes when missing.
    const std::string& metricsToken();
    // Replaces the monitoring token by a new one: the old one stops working at once.
    const std::string& newMetricsToken();
    // Whether `token` is the monitoring token; false while there is none. Takes constant time.
    bool isMetricsToken(std::string_view token) const noexcept;

    static constexpr auto fields = std::tuple{
        field("_salt", &Shadow::_salt),
        field("_pwd", &Shadow::_pwd),
        field("_sessions", &Shadow::_sessions),
        field("_sessionTimes", &Shadow::_sessionTimes),
        laterField("_metricsToken", &Shadow::_metricsToken),
    };

private:
    std::string _saltAndHash(std::string_view other);
    const SessionTimes* timesOf(const std::string& hash) const noexcept;
    // Ends the sessions whose times ran out at `now`, and forgets times of sessions no longer listed.
    void endExpiredSessions(std::int64_t now);
};

} // namespace tollwick
