#pragma once
// The head of an HTTP/1.x request (request line and header fields) as the HTTP front reads it off
// the connection, before any byte of the body: enough to decide where the request ends and whether
// it may be read at all. Strict where a lenient reading could let two readers disagree on where a
// request ends: bare CR or LF, NUL bytes, folded lines, spaces before a colon and conflicting
// lengths make a head malformed.
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
    std::string target;                                      // as sent: path, "?" and query
    std::string version;                                     // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> fields; // names as sent, values without surrounding blanks

    // The value of the first field named `name` (compared without regard to case).
    std::optional<std::string_view> field(std::string_view name) const;
    // The path of the target, percent-decoded as the HTTP library decodes it for routing.
    std::string path() const;
};

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

// Percent-decoding of a path as the HTTP library does it: "%XX" and "%uXXXX" sequences, anything
// else kept as it is.
std::string decodePath(std::string_view path);

} // namespace tollwick::web
