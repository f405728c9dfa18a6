#include "model/audio_file_name.h"

#include <algorithm>
#include <array>

namespace tollwick {

namespace {

constexpr std::size_t MAX_ID_LENGTH = 128;

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` begins with `prefix` (lower case), in any case.
bool startsWithInAnyCase(std::string_view text, std::string_view prefix) noexcept {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) { return p == lower(t); });
}

bool isUuid(std::string_view text) noexcept {
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !(isDigit(text[i]) || (text[i] >= 'a' && text[i] <= 'f')))
            return false;
    }
    return true;
}

bool isId(std::string_view text) noexcept {
    return !text.empty() && text.size() <= MAX_ID_LENGTH && std::all_of(text.begin(), text.end(), [](char c) {
        return isLetter(c) || isDigit(c) || c == '-' || c == '_';
    });
}

// Windows opens these as devices whatever follows the dot, in any case. Systems that ignore case
// would take an announcement's file in any case for it too.
bool isReservedId(std::string_view id) noexcept {
    static constexpr std::array<std::string_view, 4> DEVICES{"con", "prn", "aux", "nul"};
    for (const std::string_view device : DEVICES)
        if (id.size() == device.size() && startsWithInAnyCase(id, device))
            return true;
    if (id.size() == 4 && (startsWithInAnyCase(id, "com") || startsWithInAnyCase(id, "lpt")) && isDigit(id[3]))
        return true;
    return startsWithInAnyCase(id, ANNOUNCEMENT_FILE_PREFIX);
}

} // namespace

bool isUploadExtension(std::string_view extension) noexcept {
    return extension == "wav" || extension == "mp3" || extension == "mp4";
}

bool isAudioFileName(std::string_view name) noexcept {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view stem = name.substr(0, dot);
    const std::string_view extension = name.substr(dot + 1);
    if (isUuid(stem))
        return isUploadExtension(extension);
    return extension == "mp3" && isId(stem) && !isReservedId(stem);
}

} // namespace tollwick
