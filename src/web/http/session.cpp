#include "web/http/session.h"

#include <array>

#include "model/json_text.h"
#include "storage/crypto.h"

namespace tollwick::web {

namespace {

constexpr std::string_view BASE64URL = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Without padding: the cookie value then needs no quoting.
std::string base64UrlEncode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {BASE64URL[v >> 18], BASE64URL[v >> 12 & 63], BASE64URL[v >> 6 & 63], BASE64URL[v & 63]};
    }
    if (bytes.size() - i == 1) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {BASE64URL[v >> 18], BASE64URL[v >> 12 & 63]};
    } else if (bytes.size() - i == 2) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {BASE64URL[v >> 18], BASE64URL[v >> 12 & 63], BASE64URL[v >> 6 & 63]};
    }
    return out;
}

// The value of each base64url digit by its byte; -1 for bytes that are no digit.
constexpr std::array<int, 256> BASE64URL_VALUE = [] {
    std::array<int, 256> value{};
    value.fill(-1);
    for (std::size_t i = 0; i < BASE64URL.size(); ++i)
        value[static_cast<unsigned char>(BASE64URL[i])] = static_cast<int>(i);
    return value;
}();

std::optional<std::string> base64UrlDecode(std::string_view text) {
    if (text.size() % 4 == 1)
        return std::nullopt;
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int v = BASE64URL_VALUE[static_cast<unsigned char>(c)];
        if (v < 0)
            return std::nullopt;
        buffer = (buffer << 6 | static_cast<unsigned>(v)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>(buffer >> bits & 0xFF));
        }
    }
    return out;
}

} // namespace

Session::Session(Json data) {
    if (data.is_object())
        _data = std::move(data);
}

bool Session::loggedIn() const noexcept {
    const auto it = _data.find("loggedIn");
    return it != _data.end() && it->is_boolean() && it->get<bool>();
}

std::string Session::sessionId() const {
    const auto it = _data.find("sessionId");
    return it != _data.end() && it->is_string() ? it->get<std::string>() : std::string();
}

void Session::erase(const std::string& key) {
    _modified = _data.erase(key) > 0 || _modified;
}

void Session::set(const std::string& key, Json value) {
    _data[key] = std::move(value);
    _modified = true;
}

std::string encodeSessionCookie(const Json& data, std::string_view key) {
    const std::string payload = base64UrlEncode(toJsonText(data));
    return payload + "." + hmacSha256Hex(key, payload);
}

Session decodeSessionCookie(std::string_view value, std::string_view key) {
    const std::size_t dot = value.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view payload = value.substr(0, dot);
    if (!constantTimeEquals(value.substr(dot + 1), hmacSha256Hex(key, payload)))
        return {};
    const std::optional<std::string> text = base64UrlDecode(payload);
    if (!text)
        return {};
    try {
        return Session(parseJsonText(*text));
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<std::string> cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        std::string_view pair = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + 1);
        while (!pair.empty() && (pair.front() == ' ' || pair.front() == '\t'))
            pair.remove_prefix(1);
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos || pair.substr(0, eq) != name)
            continue;
        std::string_view v = pair.substr(eq + 1);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
            v.remove_suffix(1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        return std::string(v);
    }
    return std::nullopt;
}

std::string sessionSetCookieHeader(std::string_view value) {
    return std::string(SESSION_COOKIE_NAME) + "=" + std::string(value) + "; Path=/; HttpOnly; SameSite=Strict";
}

} // namespace tollwick::web
