#include "audio/audio_length.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "audio/audio_decoders.h"

namespace tollwick {
namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    return std::equal(
        suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
        [](char s, char t) { return s == (t >= 'A' && t <= 'Z' ? static_cast<char>(t - 'A' + 'a') : t); });
}

} // namespace

double getAudioSeconds(const std::string& filePath) noexcept {
    try {
        if (endsWithIgnoringCase(filePath, ".mp3")) {
            return mpegSeconds(filePath);
        }
        if (endsWithIgnoringCase(filePath, ".wav")) {
            return waveSeconds(filePath);
        }
    } catch (...) {
        // Only allocation can fail here; the contract is a length or -1, never an exception.
    }
    return UNMEASURABLE;
}

int getAudioLength(const std::string& filePath) noexcept {
    const double seconds = getAudioSeconds(filePath);
    if (!(seconds >= 0) || seconds > std::numeric_limits<int>::max()) {
        return -1;
    }
    double rounded = std::round(seconds); // ties away from zero
    if (rounded - seconds == 0.5 && std::fmod(rounded, 2.0) != 0.0) {
        rounded -= 1.0; // a tie goes to the even neighbour instead
    }
    return static_cast<int>(rounded);
}

} // namespace tollwick
