#pragma once
// Content types of the files the server sends, by file extension.
#include <string>
#include <string_view>

namespace tollwick::web {

// The content type for a lower-case extension without the dot ("html", "mp3");
// "application/octet-stream" for one not known.
std::string contentTypeForExtension(std::string_view extension);

} // namespace tollwick::web
