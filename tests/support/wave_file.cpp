#include "support/wave_file.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace tollwick::test {
namespace {

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void writeWave(const std::filesystem::path& path, double seconds, int sampleRate, int channels, double frequency) {
    constexpr int BYTES_PER_SAMPLE = 2;
    const auto frames = static_cast<std::uint32_t>(std::llround(seconds * sampleRate));
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * BYTES_PER_SAMPLE;
    const std::uint32_t dataBytes = frames * blockAlign;

    std::string header;
    header += "RIFF";
    putLittleEndian(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    putLittleEndian(header, 16, 4); // size of the fmt chunk
    putLittleEndian(header, 1, 2);  // PCM
    putLittleEndian(header, static_cast<std::uint32_t>(channels), 2);
    putLittleEndian(header, static_cast<std::uint32_t>(sampleRate), 4);
    putLittleEndian(header, static_cast<std::uint32_t>(sampleRate) * blockAlign, 4); // bytes per second
    putLittleEndian(header, blockAlign, 2);
    putLittleEndian(header, BYTES_PER_SAMPLE * 8, 2);
    header += "data";
    putLittleEndian(header, dataBytes, 4);

    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::string samples(dataBytes, '\0');
    if (frequency > 0) {
        std::size_t at = 0;
        for (std::uint32_t frame = 0; frame < frames; ++frame) {
            const double value = 0.5 * std::sin(2 * std::numbers::pi * frequency * frame / sampleRate);
            const auto sample = static_cast<std::uint32_t>(static_cast<std::int16_t>(std::lround(value * 32767)));
            for (int channel = 0; channel < channels; ++channel, at += BYTES_PER_SAMPLE) {
                samples[at] = static_cast<char>(sample & 0xFF);
                samples[at + 1] = static_cast<char>((sample >> 8) & 0xFF);
            }
        }
    }
    out.write(samples.data(), static_cast<std::streamsize>(samples.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace

void writeSilentWave(const std::filesystem::path& path, double seconds, int sampleRate, int channels) {
    writeWave(path, seconds, sampleRate, channels, 0);
}

void writeToneWave(const std::filesystem::path& path, double seconds, double frequency, int sampleRate, int channels) {
    writeWave(path, seconds, sampleRate, channels, frequency);
}

} // namespace tollwick::test
