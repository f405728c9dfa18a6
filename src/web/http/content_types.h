#pragma once
// Content types of the files the server sends, by file extension.
#include <string>

namespace tollwick::web {

// The content type for the file `fileName` by its extension, in any case, as
// getFileNameAndExtension finds it ("html", "mp3"); "application/octet-stream" for one not known.
std::string contentTypeForFile(const std::string& fileName);

} // namespace tollwick::web
