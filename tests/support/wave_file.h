#pragma once
// Writes WAVE files for tests that need real audio of a known length.
#include <filesystem>

namespace tollwick::test {

// A 16-bit PCM RIFF WAVE file of silence, `seconds` long (rounded to whole sample frames).
void writeSilentWave(const std::filesystem::path& path, double seconds, int sampleRate = 8000, int channels = 1);

// The same with a sine tone of `frequency` Hz at half of full scale in every channel.
void writeToneWave(const std::filesystem::path& path, double seconds, double frequency, int sampleRate = 8000,
                   int channels = 1);

} // namespace tollwick::test
