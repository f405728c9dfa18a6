#pragma once
// The password store ("_shadow.json"): one optional password shared by every user of the interface,
// kept as SHA-256 of the installation's salt followed by the password, and the sessions that are
// logged in. The salt also signs the browser's session cookies; a signed cookie counts as logged in
// only while its session is listed here, so logging out and changing the password end sessions for
// good, also across a restart.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "model/json.h"
#include "model/record.h"

namespace tollwick {

struct Shadow {
    std::optional<std::string> _salt; // 64 lowercase hex digits; made on first use, never changed
    std::optional<std::string> _pwd;  // the password hash; none while no password is set
    // SHA-256 of the id of each logged-in session, oldest first. Files written before sessions were
    // kept lack the member: no session is logged in then. Only hashes are kept, so that a copy of
    // the file cannot be turned into a session.
    std::vector<std::string> _sessions;

    // Only the owner may read the password store.
    static constexpr bool FILE_IS_PRIVATE = true;
    // The oldest sessions are ended beyond this many.
    static constexpr std::size_t MAX_SESSIONS = 256;

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

    // Starts a logged-in session and answers its new random id.
    std::string startSession();
    bool isSessionLive(std::string_view id) const noexcept;
    void endSession(std::string_view id);
    // Ends every session but `id`'s.
    void endSessionsExcept(std::string_view id);

    static constexpr auto fields = std::tuple{
        field("_salt", &Shadow::_salt),
        field("_pwd", &Shadow::_pwd),
        field("_sessions", &Shadow::_sessions),
    };

private:
    std::string _saltAndHash(std::string_view other);
};

} // namespace tollwick
