#pragma once
// Message authentication for the session cookie.
#include <string>
#include <string_view>

namespace tollwick::web {

// HMAC-SHA256 of `message` under `key`, as 64 lowercase hexadecimal digits.
std::string hmacSha256Hex(std::string_view key, std::string_view message);

} // namespace tollwick::web
