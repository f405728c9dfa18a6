#include "web/http/web_types.h"

#include "model/json_text.h"
#include "web/http/request_head.h"

namespace tollwick::web {

const std::string& Request::param(const std::string& name) const {
    static const std::string none;
    const auto it = pathParams.find(name);
    return it == pathParams.end() ? none : it->second;
}

const UploadedPart* Request::part(std::string_view name) const {
    for (const UploadedPart& p : parts)
        if (p.name == name)
            return &p;
    return nullptr;
}

std::optional<std::string_view> Request::header(std::string_view name) const {
    for (const auto& [fieldName, value] : headers)
        if (equalsIgnoringCase(fieldName, name))
            return std::string_view(value);
    return std::nullopt;
}

Response json_response(const Json& value) {
    return Response(200, JSON_TYPE, toJsonText(value));
}

Response plain_text(std::string text) {
    return Response(200, PLAIN_TEXT, std::move(text));
}

Response redirect(std::string location) {
    Response response(302, PLAIN_TEXT, "Redirecting to " + location);
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

Response send_file(std::filesystem::path file, std::string contentType) {
    Response response(200, std::move(contentType), {});
    response.file = std::move(file);
    return response;
}

} // namespace tollwick::web
