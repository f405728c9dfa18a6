#include "web/http/content_types.h"

#include <array>
#include <string_view>
#include <utility>

#include "runtime/paths.h"

namespace tollwick::web {

std::string contentTypeForFile(const std::string& fileName) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 19> TYPES{{
        {"html", "text/html; charset=utf-8"},
        {"htm", "text/html; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"mjs", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"json", "application/json"},
        {"map", "application/json"},
        {"txt", "text/plain; charset=utf-8"},
        {"ico", "image/vnd.microsoft.icon"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"svg", "image/svg+xml"},
        {"webp", "image/webp"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"ttf", "font/ttf"},
        {"wav", "audio/wav"},
        {"mp3", "audio/mpeg"},
        {"mp4", "audio/mp4"},
    }};
    const std::string extension = getFileNameAndExtension(fileName).second;
    for (const auto& [ext, type] : TYPES)
        if (ext == extension)
            return std::string(type);
    return "application/octet-stream";
}

} // namespace tollwick::web
