#pragma once
// The platform's measurements behind getAudioLength: the playing time in seconds of an MPEG audio
// file and of a RIFF WAVE file, UNMEASURABLE when the file cannot be read or measured. They may
// throw only for a lack of memory.
#include <string>

namespace tollwick {

inline constexpr double UNMEASURABLE = -1.0;

double mpegSeconds(const std::string& path);
double waveSeconds(const std::string& path);

} // namespace tollwick
