#include "web/http/request_head.h"

#include <algorithm>
#include <charconv>

namespace tollwick::web {

namespace {

// RFC 9110's token characters: what a method and a field name consist of.
bool isToken(std::string_view text) noexcept {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

bool isControl(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// A target in origin form ("/path?query"), without blanks or control characters.
bool isPathTarget(std::string_view target) noexcept {
    return target.starts_with('/') && std::none_of(target.begin(), target.end(), isControl);
}

// A field value may hold blanks and bytes beyond ASCII, but no other control character.
bool isFieldValue(std::string_view value) noexcept {
    return std::none_of(value.begin(), value.end(), [](char c) { return c != '\t' && isControl(c); });
}

std::string_view trimBlanks(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::optional<std::string_view> RequestHead::field(std::string_view name) const {
    for (const auto& [fieldName, value] : fields)
        if (equalsIgnoringCase(fieldName, name))
            return std::string_view(value);
    return std::nullopt;
}

bool RequestHead::fieldHasToken(std::string_view name, std::string_view token) const {
    for (const auto& [fieldName, value] : fields) {
        if (!equalsIgnoringCase(fieldName, name))
            continue;
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (equalsIgnoringCase(trimBlanks(rest.substr(0, comma)), token))
                return true;
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
    }
    return false;
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
    // Every CR starts a CRLF and every LF ends one.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) ||
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
    if (!isToken(head.method) || !isPathTarget(head.target) ||
        (head.version != "HTTP/1.1" && head.version != "HTTP/1.0"))
        return std::nullopt;

    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        const std::string_view line = text.substr(at, end - at);
        at = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
            return std::nullopt; // also a folded continuation line, which begins with a blank
        const std::string_view value = trimBlanks(line.substr(colon + 1));
        if (!isFieldValue(value))
            return std::nullopt;
        head.fields.emplace_back(line.substr(0, colon), value);
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
    // Without a length, the body of these methods would last until the connection ends.
    if (!seen && (head.method == "POST" || head.method == "PUT" || head.method == "PATCH" || head.method == "PRI"))
        framing.kind = BodyFraming::Kind::MISSING;
    return framing;
}

} // namespace tollwick::web
