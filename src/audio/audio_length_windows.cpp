#include "audio/audio_decoders.h"
#include "audio/mci.h"

namespace tollwick {

// MCI measures both kinds itself: WAVE through its waveaudio device, MPEG audio through the
// DirectShow one (mpegvideo), each chosen by the file's extension.
double mpegSeconds(const std::string& path) {
    return mciAudioSeconds(systemMci(), path);
}

double waveSeconds(const std::string& path) {
    return mciAudioSeconds(systemMci(), path);
}

} // namespace tollwick
