#pragma once
// The playing time of an audio file, as stored in the lengthSec of an audio asset and used to
// tell a hung player program from one that is still playing.
#include <string>

namespace tollwick {

// The playing time of `filePath` in whole seconds, rounded half to even (2.5 s gives 2, 3.5 s
// gives 4). A name ending in ".mp3" (any case) is read as MPEG audio, one ending in ".wav" as a
// RIFF WAVE file. Answers -1 for any other name and for a file that cannot be read or measured:
// missing, unreadable, not audio, or (Linux) cut short of the length its own header announces.
// Windows measures through MCI, which gives a file cut short the length of what it still holds and
// needs a sound output device to open MPEG audio. Never throws; safe to call from several threads
// at once.
int getAudioLength(const std::string& filePath) noexcept;

// The same measurement in seconds, before rounding; negative when it cannot be made.
double getAudioSeconds(const std::string& filePath) noexcept;

} // namespace tollwick
