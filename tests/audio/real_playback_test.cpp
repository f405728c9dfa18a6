// Plays through the real player programs into an ALSA file sink: the user's .asoundrc makes the
// default device a "file" plugin over the "null" device, which writes what it receives as a WAVE
// file and plays nothing.
#include "audio/audio_length.h"
#include "audio/linux_file_player.h"
#include "runtime/paths.h"
#include "storage/factory_songs.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "");
    for (std::string directory; std::getline(directories, directory, ':');) {
        if (!directory.empty() && access((fs::path(directory) / program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::uint32_t littleEndian(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

struct WaveOutput {
    std::uint32_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::size_t dataBytes = 0;
};

// The format and the amount of sound in a WAVE file, from its chunks.
WaveOutput readWaveOutput(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    WaveOutput out;
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        ADD_FAILURE() << path << " is not a WAVE file";
        return out;
    }
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = littleEndian(bytes, at + 4, 4);
        if (id == "fmt ") {
            out.channels = littleEndian(bytes, at + 10, 2);
            out.sampleRate = littleEndian(bytes, at + 12, 4);
            out.bytesPerSecond = littleEndian(bytes, at + 16, 4);
        } else if (id == "data") {
            // A sink that was not closed cleanly leaves the size unwritten; count what is there.
            out.dataBytes = std::min(size, bytes.size() - at - 8);
            break;
        }
        at += 8 + size + (size % 2);
    }
    return out;
}

class RealPlayerPrograms : public ::testing::Test {
protected:
    test::TempDir home;
    fs::path sink = home.path() / "out.wav";
    test::ScopedEnv homeVariable{"HOME", home.path().string()};

    void SetUp() override {
        if (!onPath("mpg123") || !onPath("aplay")) {
            GTEST_SKIP() << "mpg123 and aplay are not installed (Debian packages mpg123 and alsa-utils); "
                            "playing through the real programs is not tested";
        }
        std::ofstream(home.path() / ".asoundrc")
            << "pcm.!default { type file; slave.pcm \"null\"; file \"" << sink.string() << "\"; format \"wav\" }\n";
    }

    // Plays `path` to its end as a playing thread would.
    void play(const std::string& path) {
        LinuxFilePlayer player;
        player.startPlay(path);
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        while (player.isPlaying()) {
            ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << path << " did not end";
            std::this_thread::sleep_for(20ms);
        }
        player.closeFile(false);
    }
};

TEST_F(RealPlayerPrograms, AShippedSignalPlaysThroughMpg123ForItsWholeLength) {
    const FactorySong& ping = FACTORY_SONGS[2];
    ASSERT_EQ(ping.filename, "p-ping.mp3");
    const std::string signal = getAssetPath(std::string(ping.filename));
    play(signal);

    ASSERT_TRUE(fs::exists(sink)) << "nothing was played into the sink";
    const WaveOutput out = readWaveOutput(sink);
    EXPECT_EQ(out.sampleRate, 44100u);
    ASSERT_EQ(out.bytesPerSecond, out.sampleRate * out.channels * 2) << "not 16-bit samples";
    // 176,400 bytes a second for stereo, half of that for a mono signal.
    const double played = static_cast<double>(out.dataBytes) / out.bytesPerSecond;
    EXPECT_NEAR(played, getAudioSeconds(signal), 0.1);
    EXPECT_EQ(static_cast<int>(played + 0.5), ping.lengthSec);
}

TEST_F(RealPlayerPrograms, AWaveFilePlaysThroughAplayForItsWholeLength) {
    const fs::path tone = home.path() / "tone.wav";
    test::writeSilentWave(tone, 1.5, 44100, 2);
    play(tone.string());

    ASSERT_TRUE(fs::exists(sink)) << "nothing was played into the sink";
    const WaveOutput out = readWaveOutput(sink);
    EXPECT_EQ(out.channels, 2u);
    EXPECT_EQ(out.bytesPerSecond, 176400u);
    // aplay fills its last period, about an eighth of a second, with silence.
    EXPECT_GE(out.dataBytes, std::size_t{264600});
    EXPECT_LE(out.dataBytes, std::size_t{264600 + 44100});
}

} // namespace
} // namespace tollwick
