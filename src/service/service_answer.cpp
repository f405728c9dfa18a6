#include "service/service_answer.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "model/json_text.h"
#include "runtime/errors.h"

namespace tollwick {

namespace {

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* kindName(ServiceAnswer::Kind kind) {
    switch (kind) {
    case ServiceAnswer::Kind::TEXT:
        return "text";
    case ServiceAnswer::Kind::JSON:
        return "JSON";
    case ServiceAnswer::Kind::RAW:
        return "raw";
    }
    return "unknown";
}

} // namespace

ServiceAnswer ServiceAnswer::text(std::string text) {
    ServiceAnswer answer;
    answer._kind = Kind::TEXT;
    answer._bytes = std::move(text);
    return answer;
}

ServiceAnswer ServiceAnswer::json(Json value) {
    ServiceAnswer answer;
    answer._kind = Kind::JSON;
    answer._json = std::move(value);
    return answer;
}

ServiceAnswer ServiceAnswer::raw(std::string contentType, std::string body) {
    ServiceAnswer answer;
    answer._kind = Kind::RAW;
    answer._contentType = std::move(contentType);
    answer._bytes = std::move(body);
    return answer;
}

ServiceAnswer ServiceAnswer::decode(const std::string& contentType, std::string body) {
    const std::string mediaType = lowerCased(contentType);
    if (mediaType.find("text/plain") != std::string::npos)
        return text(std::move(body));
    if (mediaType.find("application/json") != std::string::npos)
        return json(parseJsonText(body));
    return raw(contentType, std::move(body));
}

const std::string& ServiceAnswer::asText() const {
    if (_kind != Kind::TEXT)
        throw TypeError(std::string("The service answered ") + kindName(_kind) + ", not text");
    return _bytes;
}

const Json& ServiceAnswer::asJson() const {
    if (_kind != Kind::JSON)
        throw TypeError(std::string("The service answered ") + kindName(_kind) + ", not JSON");
    return _json;
}

const std::string& ServiceAnswer::rawBody() const {
    if (_kind != Kind::RAW)
        throw TypeError(std::string("the service answered ") + kindName(_kind) + ", which has no raw body");
    return _bytes;
}

std::string ServiceAnswer::describe() const {
    switch (_kind) {
    case Kind::TEXT:
        return _bytes;
    case Kind::JSON:
        return toJsonText(_json);
    case Kind::RAW:
        return "<" + std::to_string(_bytes.size()) + " bytes of " +
               (_contentType.empty() ? "unknown type" : _contentType) + ">";
    }
    return {};
}

} // namespace tollwick
