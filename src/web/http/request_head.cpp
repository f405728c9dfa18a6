#include "web/http/request_head.h"

#include <algorithm>
#include <charconv>

namespace tollwick::web {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// RFC 9110's token characters: what a method and a field name consist of.
bool isToken(std::string_view text) noexcept {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

std::string_view trimBlanks(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int hexValue(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of `digits` hexadecimal digits at `at`, or -1.
long hexAt(std::string_view text, std::size_t at, std::size_t digits) noexcept {
    if (at + digits > text.size())
        return -1;
    long value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const int v = hexValue(text[i]);
        if (v < 0)
            return -1;
        value = value * 16 + v;
    }
    return value;
}

void appendUtf8(std::string& out, long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0xD800 || code >= 0xE000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    // Surrogates have no UTF-8 form; the library drops them.
}

} // namespace

std::optional<std::string_view> RequestHead::field(std::string_view name) const {
    for (const auto& [fieldName, value] : fields)
        if (equalsIgnoringCase(fieldName, name))
            return std::string_view(value);
    return std::nullopt;
}

std::string RequestHead::path() const {
    std::string_view raw = target;
    raw = raw.substr(0, raw.find('#'));
    return decodePath(raw.substr(0, raw.find('?')));
}

std::optional<std::size_t> headLength(std::string_view buffer) {
    const std::size_t end = buffer.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return std::nullopt;
    return end + 4;
}

std::optional<RequestHead> parseRequestHead(std::string_view text) {
    if (!text.ends_with("\r\n\r\n"))
        return std::nullopt;
    // Every CR starts a CRLF and every LF ends one; no NUL anywhere.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0' || (c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) ||
            (c == '\n' && (i == 0 || text[i - 1] != '\r')))
            return std::nullopt;
    }
    text.remove_suffix(2); // the blank line's CRLF; every line now ends with CRLF
    RequestHead head;
    std::size_t at = text.find("\r\n");
    const std::string_view requestLine = text.substr(0, at);
    at += 2;

    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos ||
        requestLine.find(' ', secondSpace + 1) != std::string_view::npos)
        return std::nullopt;
    head.method = requestLine.substr(0, firstSpace);
    head.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    head.version = requestLine.substr(secondSpace + 1);
    if (!isToken(head.method) || head.target.empty() || (head.version != "HTTP/1.1" && head.version != "HTTP/1.0"))
        return std::nullopt;

    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        const std::string_view line = text.substr(at, end - at);
        at = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
            return std::nullopt; // also a folded continuation line, which begins with a blank
        head.fields.emplace_back(line.substr(0, colon), trimBlanks(line.substr(colon + 1)));
    }
    return head;
}

BodyFraming bodyFramingOf(const RequestHead& head) {
    BodyFraming framing;
    if (head.field("Transfer-Encoding")) {
        framing.kind = BodyFraming::Kind::ENCODED;
        return framing;
    }
    bool seen = false;
    for (const auto& [name, value] : head.fields) {
        if (!equalsIgnoringCase(name, "Content-Length"))
            continue;
        std::uint64_t length = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
        if (value.empty() || error != std::errc{} || end != value.data() + value.size() ||
            (seen && length != framing.length)) {
            framing.kind = BodyFraming::Kind::INVALID;
            return framing;
        }
        framing.length = length;
        seen = true;
    }
    // The library reads the body of these methods until the connection ends when no length is given
    // (DELETE excepted, which it then takes as empty).
    if (!seen && (head.method == "POST" || head.method == "PUT" || head.method == "PATCH" || head.method == "PRI"))
        framing.kind = BodyFraming::Kind::MISSING;
    return framing;
}

std::string decodePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 1 < path.size()) {
            if (path[i + 1] == 'u') {
                if (const long code = hexAt(path, i + 2, 4); code >= 0) {
                    appendUtf8(out, code);
                    i += 5;
                    continue;
                }
            } else if (const long value = hexAt(path, i + 1, 2); value >= 0) {
                out += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        out += path[i];
    }
    return out;
}

} // namespace tollwick::web
