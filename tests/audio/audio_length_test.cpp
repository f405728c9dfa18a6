#include "audio/audio_length.h"
#include "runtime/paths.h"
#include "storage/factory_songs.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tollwick {
namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string shipped(const std::string& filename) {
    return getAssetPath(filename);
}

// The size of an MPEG-1 Layer III frame from its four header bytes (the shipped signals' format).
std::size_t mpeg1Layer3FrameSize(const std::string& bytes, std::size_t at) {
    constexpr int KBPS[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    constexpr int RATES[4] = {44100, 48000, 32000, 0};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(at + i)); };
    EXPECT_EQ(byte(0), 0xFF);
    EXPECT_EQ(byte(1) & 0xFE, 0xFA) << "not MPEG-1 Layer III";
    const int kbps = KBPS[byte(2) >> 4];
    const int rate = RATES[(byte(2) >> 2) & 3];
    const int padding = (byte(2) >> 1) & 1;
    return static_cast<std::size_t>(144 * kbps * 1000 / rate + padding);
}

TEST(AudioLength, OfEveryShippedSignalIsItsLengthInTheFactoryTable) {
    ASSERT_EQ(FACTORY_SONGS.size(), 12u);
    for (const FactorySong& song : FACTORY_SONGS) {
        const std::string path = shipped(std::string(song.filename));
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_EQ(getAudioLength(path), song.lengthSec) << song.filename;
    }
}

TEST(AudioLength, RoundsToTheNearestSecondWithTiesToEven) {
    test::TempDir dir;
    const std::vector<std::pair<double, int>> cases{{90.5, 90}, {2.5, 2},  {3.5, 4}, {0.5, 0}, {1.5, 2},
                                                    {2.49, 2},  {2.51, 3}, {0.4, 0}, {7.0, 7}, {4.5, 4}};
    for (const auto& [seconds, expected] : cases) {
        const fs::path path = dir.path() / ("tone-" + std::to_string(seconds) + ".wav");
        test::writeSilentWave(path, seconds);
        EXPECT_EQ(getAudioLength(path.string()), expected) << seconds << " s";
        EXPECT_NEAR(getAudioSeconds(path.string()), seconds, 1e-9);
    }
}

TEST(AudioLength, TheExtensionDecidesInAnyCase) {
    test::TempDir dir;
    fs::copy_file(shipped("p-ping.mp3"), dir.path() / "song.MP3");
    fs::copy_file(shipped("p-ping.mp3"), dir.path() / "song.txt");
    test::writeSilentWave(dir.path() / "tone.WAV", 3.0, 44100, 2);
    fs::copy_file(dir.path() / "tone.WAV", dir.path() / "tone");

    EXPECT_EQ(getAudioLength((dir.path() / "song.MP3").string()), 3);
    EXPECT_EQ(getAudioLength((dir.path() / "tone.WAV").string()), 3);
    EXPECT_EQ(getAudioLength((dir.path() / "song.txt").string()), -1);
    EXPECT_EQ(getAudioLength((dir.path() / "tone").string()), -1);
}

TEST(AudioLength, AnMp3WithoutLengthHeaderIsMeasuredByItsFrames) {
    test::TempDir dir;
    const std::string melody = readBytes(shipped("s-melody.mp3"));
    // The first frame holds the Info header; without it the length must come from counting frames.
    ASSERT_LT(melody.find("Info"), 40u);
    const std::size_t headerFrame = mpeg1Layer3FrameSize(melody, 0);
    writeBytes(dir.path() / "bare.mp3", melody.substr(headerFrame));

    const double full = getAudioSeconds(shipped("s-melody.mp3"));
    const double bare = getAudioSeconds((dir.path() / "bare.mp3").string());
    EXPECT_NEAR(bare, full, 0.05);
    EXPECT_EQ(getAudioLength((dir.path() / "bare.mp3").string()), 11);
}

TEST(AudioLength, IsMinusOneForWhatCannotBeMeasured) {
    test::TempDir dir;
    const std::string melody = readBytes(shipped("s-melody.mp3"));
    writeBytes(dir.path() / "notes.txt", "Bell at 8:00\n");
    writeBytes(dir.path() / "notes.mp3", "Bell at 8:00\n");
    writeBytes(dir.path() / "notes.wav", "Bell at 8:00\n");
    writeBytes(dir.path() / "half.mp3", melody.substr(0, melody.size() / 2));
    writeBytes(dir.path() / "stub.mp3", melody.substr(0, 300));
    writeBytes(dir.path() / "empty.mp3", "");
    test::writeSilentWave(dir.path() / "whole.wav", 2.0);
    writeBytes(dir.path() / "stub.wav", readBytes(dir.path() / "whole.wav").substr(0, 20));
    fs::create_directory(dir.path() / "folder.mp3");

    for (const char* name : {"notes.txt", "a.mp3", "notes.mp3", "notes.wav", "half.mp3", "stub.mp3", "empty.mp3",
                             "stub.wav", "folder.mp3", "missing.wav"}) {
        EXPECT_EQ(getAudioLength((dir.path() / name).string()), -1) << name;
    }
    EXPECT_EQ(getAudioLength(""), -1);
}

} // namespace
} // namespace tollwick
