#pragma once
// An answer of the vendor service, decoded by its content type: text, parsed JSON, or the raw
// body bytes of anything else (an announcement's audio).
#include <string>

#include "model/json.h"

namespace tollwick {

class ServiceAnswer {
public:
    enum class Kind { TEXT, JSON, RAW };

    // An empty text; only there so that an error Result can be made.
    ServiceAnswer() = default;

    static ServiceAnswer text(std::string text);
    static ServiceAnswer json(Json value);
    static ServiceAnswer raw(std::string contentType, std::string body);

    // Decodes a body: a content type containing "text/plain" gives text, one containing
    // "application/json" gives JSON (InvalidValueError when the body does not parse), any other
    // the raw bytes. The media type is matched without regard to case.
    static ServiceAnswer decode(const std::string& contentType, std::string body);

    Kind kind() const noexcept { return _kind; }
    bool isJson() const noexcept { return _kind == Kind::JSON; }

    // The text of a TEXT answer; TypeError for the other kinds.
    const std::string& asText() const;
    // The value of a JSON answer; TypeError for the other kinds.
    const Json& asJson() const;
    // The body bytes of a RAW answer; TypeError for text and JSON, which keep no raw body.
    const std::string& rawBody() const;
    // The content type a RAW answer came with.
    const std::string& contentType() const noexcept { return _contentType; }

    // One line for logs and error texts: the text itself, the JSON text, or for raw bytes their
    // size and content type (never the bytes).
    std::string describe() const;

private:
    Kind _kind = Kind::TEXT;
    std::string _bytes; // TEXT: the text; RAW: the body
    std::string _contentType;
    Json _json;
};

} // namespace tollwick
