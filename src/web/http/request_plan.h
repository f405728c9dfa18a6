#pragma once
// What the application makes of a request once its head has come: refused at once, or how its body
// is read and who answers it. The front asks for a plan on its accepting thread, so making one must
// be quick and take no lock that anybody holds for long; whatever needs the documents or a session's
// signature belongs to `admit` or `answer`, which run on a worker.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "web/http/web_types.h"

namespace tollwick::web {

// An answer the front writes itself, in plain text, closing the connection after it.
struct Refusal {
    int status = 400;
    std::string reason;
    std::vector<std::pair<std::string, std::string>> headers;
};

enum class BodyUse {
    DROP,   // read and dropped before the request is answered: the route reads no body
    BUFFER, // read into Request::body before the request is answered
    STREAM, // read by the answer itself, through a BodyReader, as it arrives
};

// The body of a request being answered, for BodyUse::STREAM.
class BodyReader {
public:
    virtual ~BodyReader() = default;
    virtual std::uint64_t length() const noexcept = 0;
    // Up to `size` bytes of the body: > 0 read, 0 at its end, -1 when the client failed to send
    // them in time.
    virtual long read(char* buffer, std::size_t size) = 0;
};

struct RequestPlan {
    std::optional<Refusal> refusal;
    BodyUse body = BodyUse::DROP;
    // Larger bodies are refused with 413 before a byte of them is read.
    std::uint64_t limit = 0;
    // For a body that is read (BUFFER, STREAM) and not empty: runs on a worker before a byte of it
    // is read, and answers a refusal, or nothing to go on.
    std::function<std::optional<Response>(Request&)> admit;
    // Runs on a worker once the body is read (BUFFER, DROP), or with its reader (STREAM).
    std::function<Response(Request&, BodyReader*)> answer;
};

} // namespace tollwick::web
