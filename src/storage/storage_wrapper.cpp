#include "storage/storage_wrapper.h"

#include "model/json_text.h"

namespace tollwick {

std::optional<Json> readDocumentFile(const std::filesystem::path& path, DocumentLoad& load, Files& files) {
    const FileRead read = files.read(path);
    if (read.outcome != FileRead::Outcome::READ) {
        load.outcome = read.outcome == FileRead::Outcome::MISSING ? DocumentLoad::Outcome::MISSING
                                                                  : DocumentLoad::Outcome::UNREADABLE;
        load.reason = read.reason;
        return std::nullopt;
    }
    try {
        return Json::parse(read.content);
    } catch (const Json::parse_error& e) {
        // nlohmann's text begins with its own tag, "[json.exception.parse_error.101] ".
        std::string detail = e.what();
        if (const auto tag = detail.find("] "); detail.starts_with("[json.exception") && tag != std::string::npos)
            detail.erase(0, tag + 2);
        throw Error("Cannot load " + path.string() + ": the file is not valid JSON (" + detail + ")");
    }
}

void throwUndecodableDocument(const std::filesystem::path& path, const std::exception& error) {
    throw Error("Cannot load " + path.string() + ": " + error.what());
}

} // namespace tollwick
