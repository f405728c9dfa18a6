#pragma once
// How crash-safe writes (writeFileAtomically) name their temporary files: a dot, the target's
// name, ".tmp-" and six random characters, in the target's directory. A file of that form that
// outlives its write was left by a process that died in the middle of it.
#include <filesystem>
#include <string>
#include <string_view>

namespace tollwick {

inline constexpr std::string_view TEMPORARY_MARK = ".tmp-";
inline constexpr std::size_t TEMPORARY_RANDOM_LENGTH = 6;

// What every temporary file of a write of `target` begins with.
inline std::string temporaryPrefixOf(const std::filesystem::path& target) {
    return "." + target.filename().string() + std::string(TEMPORARY_MARK);
}

// Whether `name` (a file name without directory) is a temporary file of some write.
inline bool isTemporaryFileName(std::string_view name) noexcept {
    const std::size_t tail = TEMPORARY_MARK.size() + TEMPORARY_RANDOM_LENGTH;
    return name.size() > 1 + tail && name.front() == '.' &&
           name.substr(name.size() - tail, TEMPORARY_MARK.size()) == TEMPORARY_MARK;
}

// Uploads are received into a file of the user-data directory named "." + UPLOAD_PREFIX and six
// random characters (Files::createTemporary), which takes its final name only once it is complete.
inline constexpr std::string_view UPLOAD_PREFIX = "upload-";

// Whether `name` is the temporary file of an upload.
inline bool isUploadFileName(std::string_view name) noexcept {
    return name.size() == 1 + UPLOAD_PREFIX.size() + TEMPORARY_RANDOM_LENGTH && name.front() == '.' &&
           name.substr(1, UPLOAD_PREFIX.size()) == UPLOAD_PREFIX;
}

} // namespace tollwick
