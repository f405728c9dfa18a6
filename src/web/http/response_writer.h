#pragma once
// Answers as they go on the wire: the status line with its reason phrase, the headers, and the body,
// a file's sent in pieces as it is read. Every answer carries the front's own headers (no caching),
// which replace any value a handler gave them.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "web/http/connection.h"
#include "web/http/web_types.h"

namespace tollwick::web {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// "Not Found" for 404; "Error" for a status without a phrase here.
const char* reasonPhrase(int status) noexcept;

// A plain-text answer that closes the connection: what the front refuses with.
std::string plainAnswerText(int status, std::string_view reason, const HeaderList& headers, const HeaderList& always);

// How the answer to one request goes out.
struct AnswerFrame {
    const HeaderList& always;
    bool headOnly = false;  // a HEAD request: the headers of the answer to GET, no body
    bool keepAlive = false; // the connection stays open for the next request
    bool http10 = false;
    std::optional<std::string_view> range; // the request's Range header, for files
    long idleSeconds = 0;                  // a kept connection is closed after this long idle
};

// Writes `response` (its file, or the one byte range of it that `frame.range` asks for); false
// when the client failed to take it in time. A file made for this answer alone is removed.
bool writeResponse(ConnectionIo& io, const Response& response, const AnswerFrame& frame);

// The one range a Range header asks of a file of `size` bytes, as the first and last byte; nothing
// when the header is not one range of bytes (the whole file is sent then); `unsatisfiable` when it
// lies beyond the file.
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool unsatisfiable = false;
};
std::optional<ByteRange> singleByteRange(std::string_view header, std::uint64_t size);

} // namespace tollwick::web
