#pragma once
// Which audio files the system can play, for refusing uploads that would never sound.
#include <string_view>

namespace tollwick {

// Whether the file players play files with this extension (lower case, without the dot).
bool isPlayableExtension(std::string_view extension) noexcept;

// Whether an uploaded file with this extension and measured playing time (getAudioLength, -1 when
// it could not be measured) can be played. A file whose length cannot be measured is no audio
// this system can handle, whatever its name says.
inline bool isPlayableUpload(std::string_view extension, int lengthSec) noexcept {
    return isPlayableExtension(extension) && lengthSec >= 0;
}

} // namespace tollwick
