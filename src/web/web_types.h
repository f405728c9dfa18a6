#pragma once
// What route handlers see of an HTTP exchange: the request as plain data, the browser's session,
// and the response forms every handler answers with. The HTTP library itself stays in the frame.
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/json.h"
#include "web/session.h"

namespace tollwick::web {

inline constexpr const char* PLAIN_TEXT = "text/plain; charset=utf-8";
inline constexpr const char* JSON_TYPE = "application/json";

// Uploaded files larger than this are refused with 413.
inline constexpr std::size_t MAX_UPLOAD_BYTES = 100 * 1024 * 1024;

// Query parameters, by name, in the order they came.
using Args = std::multimap<std::string, std::string>;

// One part of a multipart form: a file (with the browser's file name) or a text field (no file name).
// The views point into the request, which outlives the handler call.
struct UploadedPart {
    std::string_view name;
    std::string_view filename;
    std::string_view content;
};

struct Request {
    std::string method;
    std::string path;                              // percent-decoded
    std::map<std::string, std::string> pathParams; // by the names of the route's pattern
    Args args;
    std::string_view body; // empty for multipart forms, whose parts are in `parts`
    std::vector<UploadedPart> parts;
    Session session; // the browser's session; changes are sent back as a new cookie

    // The path parameter `name`; empty when the route has none of that name.
    const std::string& param(const std::string& name) const;
    // The first multipart part named `name`.
    const UploadedPart* part(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string contentType = PLAIN_TEXT;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // When set, the body is this file's content, sent as it is read.
    std::optional<std::filesystem::path> file;
    // The file was made for this answer alone: it is deleted once sent (or once sending failed).
    bool removeFileWhenSent = false;

    Response() = default;
    Response(int status, std::string contentType, std::string body)
        : status(status), contentType(std::move(contentType)), body(std::move(body)) {}
};

// A refused request: status 400 with the reason as plain text.
struct BadRequest : Response {
    explicit BadRequest(std::string message = {}) : Response(400, PLAIN_TEXT, std::move(message)) {}
};

// Status 200 with the system's JSON text of `value`, unwrapped: json_response(true) has the body true.
Response json_response(const Json& value);

// Status 200 with plain text.
Response plain_text(std::string text);

// Status 302 to `location`.
Response redirect(std::string location);

// Status 200 with the content of `file`; the frame answers 404 when it cannot be opened.
Response send_file(std::filesystem::path file, std::string contentType);

// A refusal raised by the helpers that read and check a request; the frame answers it with its
// status and message as plain text, like a handler's own BadRequest.
class HttpError : public std::runtime_error {
public:
    HttpError(int status, const std::string& message) : std::runtime_error(message), _status(status) {}
    int status() const noexcept { return _status; }

private:
    int _status;
};

} // namespace tollwick::web
