// Real sound through the real MCI: a signal played by WindowsFilePlayer reaches the sound output,
// and getAudioLength measures it through MCI. On the build machine Wine's ALSA driver plays into
// ALSA's file output, which `make test-windows` sets up and names in TOLLWICK_ALSA_CAPTURE; the
// tone must arrive there whole.
#include "audio/audio_length.h"
#include "audio/mci.h"
#include "audio/windows_file_player.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Capture {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    bool isFloat = false;
    std::string data; // as much of the data chunk as is on the disk
};

std::uint32_t littleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// Reads the file ALSA wrote; nothing while it holds no complete format and data header.
std::optional<Capture> readCapture(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    Capture capture;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = littleEndian(bytes, at + 4, 4);
        if (id == "fmt " && at + 24 <= bytes.size()) {
            const std::uint32_t format = littleEndian(bytes, at + 8, 2);
            capture.isFloat = format == 3;
            capture.channels = static_cast<int>(littleEndian(bytes, at + 10, 2));
            capture.rate = static_cast<int>(littleEndian(bytes, at + 12, 4));
            capture.bits = static_cast<int>(littleEndian(bytes, at + 22, 2));
        } else if (id == "data") {
            capture.data = bytes.substr(at + 8);
            return capture.rate > 0 && capture.channels > 0 ? std::optional(capture) : std::nullopt;
        }
        at += 8 + size;
    }
    return std::nullopt;
}

// Seconds of the capture in which some channel is louder than a whisper.
double audibleSeconds(const Capture& capture) {
    const std::size_t sampleBytes = static_cast<std::size_t>(capture.bits / 8);
    const std::size_t frameBytes = sampleBytes * static_cast<std::size_t>(capture.channels);
    std::size_t audible = 0;
    for (std::size_t frame = 0; (frame + 1) * frameBytes <= capture.data.size(); ++frame) {
        bool loud = false;
        for (int channel = 0; channel < capture.channels && !loud; ++channel) {
            const std::size_t at = frame * frameBytes + static_cast<std::size_t>(channel) * sampleBytes;
            double value = 0;
            if (capture.isFloat && sampleBytes == 4) {
                float f = 0;
                std::memcpy(&f, capture.data.data() + at, 4);
                value = f;
            } else if (sampleBytes == 2) {
                value = static_cast<std::int16_t>(littleEndian(capture.data, at, 2)) / 32768.0;
            } else if (sampleBytes == 4) {
                value = static_cast<std::int32_t>(littleEndian(capture.data, at, 4)) / 2147483648.0;
            }
            loud = std::fabs(value) > 0.05;
        }
        audible += loud ? 1 : 0;
    }
    // Of a sine at half scale, 93.6 % of the samples lie above 0.05 of full scale.
    return static_cast<double>(audible) / 0.936 / capture.rate;
}

fs::path capturePath() {
    const char* path = std::getenv("TOLLWICK_ALSA_CAPTURE");
    return path != nullptr ? fs::path(path) : fs::path();
}

// Plays `signal` through the real MCI into a fresh `capture`, polling as a playing thread does;
// false when it had not ended after 20 s.
bool playToTheEnd(const fs::path& signal, const fs::path& capture) {
    std::error_code ignored;
    fs::remove(capture, ignored);
    WindowsFilePlayer player(systemMci());
    const Clock::time_point start = Clock::now();
    player.startPlay(signal.string());
    while (player.isPlaying()) {
        if (Clock::now() - start > std::chrono::seconds(20))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    player.closeFile(false);
    return true;
}

TEST(RealMci, AWaveSignalIsPlayedToTheEndThroughTheSoundOutputAndMeasured) {
    const fs::path capture = capturePath();
    ASSERT_FALSE(capture.empty()) << "TOLLWICK_ALSA_CAPTURE names ALSA's file output (make test-windows)";
    test::TempDir tmp;
    const fs::path signal = tmp.path() / "school bell.wav";
    test::writeToneWave(signal, 2.5, 440, 22050, 1);

    EXPECT_EQ(getAudioLength(signal.string()), 2) << "2.5 s rounds to the even neighbour";
    EXPECT_NEAR(getAudioSeconds(signal.string()), 2.5, 0.002);

    // ALSA's null device takes the sound faster than real time: only the end itself is checked.
    EXPECT_TRUE(playToTheEnd(signal, capture)) << "the play never ended";

    // ALSA writes the file as the sound arrives; what arrived is the whole tone.
    double heard = 0;
    for (const Clock::time_point until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
        if (const auto captured = readCapture(capture); captured && (heard = audibleSeconds(*captured)) > 2.4)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NEAR(heard, 2.5, 0.15) << "seconds of the tone found in " << capture.string();
}

// MPEG audio goes through Wine's DirectShow, which decodes it with GStreamer's plugins.
TEST(RealMci, AnMp3SignalIsPlayedThroughTheSoundOutputAndMeasured) {
    const fs::path capture = capturePath();
    ASSERT_FALSE(capture.empty()) << "TOLLWICK_ALSA_CAPTURE names ALSA's file output (make test-windows)";
    const fs::path signal = fs::path(TOLLWICK_SOURCE_DIR) / "assets" / "p-double.mp3";
    EXPECT_EQ(getAudioLength(signal.string()), 2);
    EXPECT_NEAR(getAudioSeconds(signal.string()), 2.2, 0.06);

    EXPECT_TRUE(playToTheEnd(signal, capture)) << "the play never ended";

    double seconds = 0;
    double heard = 0;
    for (const Clock::time_point until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
        if (const auto captured = readCapture(capture)) {
            seconds =
                static_cast<double>(captured->data.size()) / captured->rate / captured->channels / (captured->bits / 8);
            heard = audibleSeconds(*captured);
            if (seconds >= 2.1)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_GE(seconds, 2.1) << "seconds of sound written to " << capture.string();
    EXPECT_GT(heard, 0.5) << "the sound is not silence";
}

} // namespace
} // namespace tollwick
