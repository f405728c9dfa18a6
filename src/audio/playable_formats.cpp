#include "audio/playable_formats.h"

namespace tollwick {

// MPEG audio and WAVE: what both file players play (mpg123 and aplay on Linux, the Media Control
// Interface without extra codecs on Windows) and what getAudioLength measures.
bool isPlayableExtension(std::string_view extension) noexcept {
    return extension == "mp3" || extension == "wav";
}

} // namespace tollwick
