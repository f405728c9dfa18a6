#pragma once
// What route handlers see of an HTTP exchange: the request as plain data, the browser's session,
// and the response forms every handler answers with. Sockets stay in the front.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/json.h"
#include "storage/files.h"
#include "web/http/request_target.h"
#include "web/http/session.h"

namespace tollwick::web {

inline constexpr const char* PLAIN_TEXT = "text/plain; charset=utf-8";
inline constexpr const char* JSON_TYPE = "application/json";

// Uploaded files larger than this are refused with 413.
inline constexpr std::size_t MAX_UPLOAD_BYTES = 100 * 1024 * 1024;
// A backup archive sent for a restore is at most this large: what a restore unpacks at most
// (1 GiB), with room for the archive's own frame around its entries.
inline constexpr std::size_t MAX_ARCHIVE_BYTES = (std::size_t{1} << 30) + 16 * 1024 * 1024;
// The JSON bodies of the login, password, settings and timetable routes are at most this large.
inline constexpr std::size_t MAX_JSON_BODY_BYTES = 1024 * 1024;
// Bodies sent to any other route are read (and dropped) up to this size; larger ones are refused.
inline constexpr std::size_t MAX_OTHER_BODY_BYTES = 64 * 1024;
// The text fields of an upload form, together.
inline constexpr std::size_t MAX_FORM_FIELD_BYTES = 64 * 1024;

// One part of a multipart form: a text field, or the file part "file" (with the browser's file
// name), whose bytes wait in a temporary file in the user-data directory until the handler moves
// it into place. A temporary file that is not moved is removed with the request.
struct UploadedPart {
    std::string name;
    std::string filename;
    std::string content;                 // a text field's value
    std::shared_ptr<PendingFile> stored; // the file part's bytes
    std::uint64_t size = 0;
    std::string md5; // of the file part's bytes
};

struct Request {
    std::string method;                            // "HEAD" is answered as "GET", without the body
    std::string path;                              // percent-decoded
    std::vector<std::string> segments;             // of the path, each percent-decoded
    std::map<std::string, std::string> pathParams; // by the names of the route's pattern
    Args args;
    std::vector<std::pair<std::string, std::string>> headers; // as sent
    std::string body;                                         // empty for multipart forms, whose parts are in `parts`
    std::vector<UploadedPart> parts;
    std::string remoteAddress; // the client's address, as the connection shows it
    Session session;           // the browser's session; changes are sent back as a new cookie
    bool loginChecked = false; // the session was read and, for a route that needs it, the login checked

    // The path parameter `name`; empty when the route has none of that name.
    const std::string& param(const std::string& name) const;
    // The first multipart part named `name`.
    const UploadedPart* part(std::string_view name) const;
    // The first header named `name`, compared without regard to case.
    std::optional<std::string_view> header(std::string_view name) const;
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

// Status 200 with the content of `file`, or the one range of it that the request asks for; the front
// answers 404 when it cannot be opened.
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
