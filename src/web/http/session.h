#pragma once
// The browser's session: a small JSON object kept by the browser in a cookie that the server signs
// with HMAC-SHA256 under the session-signing key; a cookie whose signature does not verify counts
// as an empty session. A login puts a random session id into it ("sessionId"), which the password
// store lists while the session is logged in.
#include <optional>
#include <string>
#include <string_view>

#include "model/json.h"

namespace tollwick::web {

inline constexpr std::string_view SESSION_COOKIE_NAME = "session";

class Session {
public:
    Session() = default;
    // A session with `data` as its content (an object; anything else gives an empty session).
    explicit Session(Json data);

    // True only when the member "loggedIn" is the boolean true. Whether the server still counts the
    // session as logged in is the password store's to say (Shadow::isSessionLive of sessionId()).
    bool loggedIn() const noexcept;
    // The id of the session that a login started; empty for cookies without one.
    std::string sessionId() const;
    void set(const std::string& key, Json value);
    void erase(const std::string& key);
    const Json& data() const noexcept { return _data; }
    // Whether set was called since the session was read from the browser.
    bool modified() const noexcept { return _modified; }

private:
    Json _data = Json::object();
    bool _modified = false;
};

// The cookie value for `data`: base64url of its JSON text, ".", and the lowercase hexadecimal
// HMAC-SHA256 of that base64url text under `key`.
std::string encodeSessionCookie(const Json& data, std::string_view key);

// The session a cookie value carries; an empty session when the value is malformed, its signature
// does not verify under `key`, or its content is not a JSON object.
Session decodeSessionCookie(std::string_view value, std::string_view key);

// The value of the cookie `name` in a Cookie request header ("a=1; session=..."), if present.
std::optional<std::string> cookieValue(std::string_view cookieHeader, std::string_view name);

// The Set-Cookie header value that stores `value` in the browser: for the whole site, out of
// reach of page scripts, and never sent along with requests that other sites start, not even a
// navigation (no expiry date: it lasts until the browser discards it).
std::string sessionSetCookieHeader(std::string_view value);

} // namespace tollwick::web
