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
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Capture {
    double seconds = 0; // of the sound on the disk so far
    bool silent = true;
};

std::uint32_t littleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// Reads the WAVE file ALSA writes; nothing while it holds no complete format and data header.
std::optional<Capture> readCapture(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    std::uint32_t bytesPerSecond = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size(); at += 8 + littleEndian(bytes, at + 4, 4)) {
        if (bytes.compare(at, 4, "fmt ") == 0 && at + 24 <= bytes.size())
            bytesPerSecond = littleEndian(bytes, at + 16, 4);
        if (bytes.compare(at, 4, "data") == 0 && bytesPerSecond > 0) {
            const std::string_view data = std::string_view(bytes).substr(at + 8);
            return Capture{static_cast<double>(data.size()) / bytesPerSecond,
                           data.find_first_not_of('\0') == std::string_view::npos};
        }
    }
    return std::nullopt;
}

// The capture once `seconds` of sound are on the disk, or as it is after 10 s.
Capture waitForCapture(const fs::path& file, double seconds) {
    Capture capture;
    for (const Clock::time_point until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
        if (const auto read = readCapture(file); read && (capture = *read).seconds >= seconds)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return capture;
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

    // ALSA writes the file as the sound arrives: the whole tone, and not more than a period's padding.
    const Capture captured = waitForCapture(capture, 2.45);
    EXPECT_NEAR(captured.seconds, 2.5, 0.15) << capture.string();
    EXPECT_FALSE(captured.silent);
}

// MPEG audio goes through Wine's DirectShow, which decodes it with GStreamer's plugins and hands
// it to the output in real time. ALSA's null device drains faster than that, so the output fills
// the gaps with silence: a quiet machine keeps about three quarters of the tone, in bursts, and a
// loaded one may keep none. So the play counts when any of three reaches the output; a path that
// never sounds fails all three.
TEST(RealMci, AnMp3SignalIsPlayedThroughTheSoundOutputAndMeasured) {
    const fs::path capture = capturePath();
    ASSERT_FALSE(capture.empty()) << "TOLLWICK_ALSA_CAPTURE names ALSA's file output (make test-windows)";
    const fs::path signal = fs::path(TOLLWICK_SOURCE_DIR) / "assets" / "p-double.mp3";
    EXPECT_EQ(getAudioLength(signal.string()), 2);
    EXPECT_NEAR(getAudioSeconds(signal.string()), 2.2, 0.06);

    Capture captured;
    for (int play = 0; play < 3 && captured.silent; ++play) {
        ASSERT_TRUE(playToTheEnd(signal, capture)) << "the play never ended";
        captured = waitForCapture(capture, 2.1);
        EXPECT_GE(captured.seconds, 2.1) << capture.string();
    }
    EXPECT_FALSE(captured.silent) << "three plays, and none reached the output";
}

} // namespace
} // namespace tollwick
