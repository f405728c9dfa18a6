#pragma once
// The head of an HTTP/1.x request (request line and header fields) as the HTTP front reads it off
// the connection, before any byte of the body: enough to decide where the request ends and whether
// it may be read at all. Strict where a lenient reading could let a request end elsewhere than its
// sender meant, or carry bytes that no browser sends: bare CR or LF, control characters, folded
// lines, spaces before a colon, a target that is no path and conflicting lengths make a head
// malformed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tollwick::web {

struct RequestHead {
    std::string method;
    std::string target;                                      // as sent: "/", path, "?" and query
    std::string version;                                     // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> fields; // names as sent, values without surrounding blanks

    // The value of the first field named `name` (compared without regard to case).
    std::optional<std::string_view> field(std::string_view name) const;
    // Whether the field `name` lists `token` among its comma-separated values, in any case
    // ("Connection: keep-alive, Upgrade").
    bool fieldHasToken(std::string_view name, std::string_view token) const;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept;

// The length of the head at the start of `buffer`, its closing blank line included, or nothing when
// the blank line has not arrived yet.
std::optional<std::size_t> headLength(std::string_view buffer);

// The head `text` (its closing blank line included) as fields; nothing when it is malformed.
std::optional<RequestHead> parseRequestHead(std::string_view text);

// How the body that follows a head is delimited.
struct BodyFraming {
    enum class Kind {
        LENGTH,  // Content-Length bytes (0 when the method carries no body and none is given)
        MISSING, // a method that carries a body, without Content-Length: it would last until the connection ends
        ENCODED, // Transfer-Encoding (chunked or another): no length is known before reading
        INVALID, // a Content-Length that is not a number, or several that differ
    };
    Kind kind = Kind::LENGTH;
    std::uint64_t length = 0;
};
BodyFraming bodyFramingOf(const RequestHead& head);

} // namespace tollwick::web
