#include "audio/player.h"
#include "scheduling/play_resolution.h"
#include "runtime/errors.h"
#include "scheduling/clock.h"
#include "storage/documents.h"
#include "support/fake_clock.h"
#include "support/fake_pauses.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PlayEvent;
using test::PlayRecorder;
using Kind = PlayEvent::Kind;

AudioAsset song(const std::string& filename, AudioAssetCategory category) {
    AudioAsset asset;
    asset.name = filename;
    asset.filename = filename;
    asset.storageCategory = category;
    return asset;
}

class SongResolution : public ::testing::Test {
protected:
    test::LogCapture log;
    test::TempDir root;
    fs::path assets = root.path() / "install" / "assets";
    fs::path userData = root.path() / "userdata";
    test::ScopedRunLayout layout{RunLayout{true, root.path() / "install", {}}};
    test::ScopedEnv dataDir{"TOLLWICK_DATA_DIR", userData.string()};
    test::FakeTime time{2025, 3, 14, 10, 30, 5};
    Clock clock{time.source()};
    // Plays and their pauses take no real time: time moves when the test runs the threads on.
    std::shared_ptr<test::FakePauses> pauses = std::make_shared<test::FakePauses>();
    std::shared_ptr<PlayRecorder> recorder = PlayRecorder::create(pauses);
    Player player{clock, recorder->factory(), pauses};
    DB db;
    Paths paths;

    SongResolution() {
        fs::create_directories(assets);
        fs::create_directories(userData);
        paths = Paths::resolve();
        recorder->setPlayTime(20ms);
        db.songs.add(song("chime.mp3", AudioAssetCategory::BUILT_IN_SIGNAL), "ID_chime");
        db.songs.add(song("bell.mp3", AudioAssetCategory::BUILT_IN_SIGNAL), "ID_bell");
        db.songs.add(song("bell.mp3", AudioAssetCategory::USER_SIGNAL), "ID_my_bell");
        db.songs.add(song("speech.mp3", AudioAssetCategory::PROGRAMME), "ID_speech");
        db.songs.add(song("news.mp3", AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT), "ID_news");
        db.settings.announcementSignalId = "ID_chime";
        for (const fs::path& file : {assets / "chime.mp3", assets / "bell.mp3", userData / "bell.mp3",
                                     userData / "speech.mp3", userData / "news.mp3"}) {
            std::ofstream(file) << "sound";
        }
    }

    bool allEnded() {
        return pauses->runUntil([&] { return player.waitUntilAllEnded(0s); });
    }
    std::vector<std::string> playedAfterAllEnded() {
        EXPECT_TRUE(allEnded());
        return recorder->started();
    }

    // Plays what was resolved; nothing for nothing.
    std::shared_ptr<PlayerThread> play(std::optional<PlayRequest> request) {
        return request ? player.play(std::move(*request)) : nullptr;
    }
    std::string pathOf(const std::string& id) const { return songPath(paths, db.songs.get(id)); }

    void TearDown() override { EXPECT_TRUE(player.waitUntilAllEnded(10s)); }
};

TEST_F(SongResolution, BuiltInSignalsLieInTheAssetsAndEveryOtherSongInTheUserData) {
    EXPECT_EQ(pathOf("ID_bell"), (assets / "bell.mp3").string());
    EXPECT_EQ(pathOf("ID_my_bell"), (userData / "bell.mp3").string());
    EXPECT_EQ(pathOf("ID_speech"), (userData / "speech.mp3").string());
    EXPECT_EQ(pathOf("ID_news"), (userData / "news.mp3").string());

    ASSERT_NE(play(resolveSong(db, paths, "ID_bell")), nullptr);
    ASSERT_TRUE(allEnded());
    ASSERT_NE(play(resolveSong(db, paths, "ID_my_bell")), nullptr);
    EXPECT_EQ(playedAfterAllEnded(),
              (std::vector<std::string>{(assets / "bell.mp3").string(), (userData / "bell.mp3").string()}));
    EXPECT_EQ(log.textsAt(spdlog::level::info).at(0),
              "Playing: " + (assets / "bell.mp3").string() + " at 2025-03-14 10:30:05");
}

TEST_F(SongResolution, TheNullIdPlaysNothingAndAnUnknownIdFails) {
    DB empty;
    EXPECT_EQ(resolveSong(empty, paths, "NULL"), std::nullopt);
    EXPECT_EQ(resolveSong(empty, paths, "NULL", ENDLESS, 1.0), std::nullopt);
    EXPECT_EQ(resolveDescriptor(empty, paths, PlayDesc{}), std::nullopt);
    EXPECT_EQ(resolveDescriptor(empty, paths, PlayDesc{"NULL", true, 3, 0.5}), std::nullopt);
    EXPECT_EQ(resolveSongThenRemoveFile(empty, paths, "NULL"), std::nullopt);
    EXPECT_TRUE(log.lines().empty());

    EXPECT_THROW(pathOf("ID_gone"), KeyError);
    EXPECT_THROW(resolveSong(db, paths, "ID_gone"), KeyError);
    EXPECT_THROW(resolveDescriptor(db, paths, PlayDesc{"ID_gone"}), KeyError);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(recorder->playersMade(), 0u);
}

TEST_F(SongResolution, ADescriptorWithoutRepeatPlaysOnceWhateverItsIterations) {
    const auto thread = play(resolveDescriptor(db, paths, PlayDesc{"ID_bell", false, 5, 3.0}));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->paths().size(), 1u);
    EXPECT_EQ(thread->delay(), 0.0);
    EXPECT_EQ(playedAfterAllEnded(), std::vector<std::string>{(assets / "bell.mp3").string()});
}

TEST_F(SongResolution, ADescriptorWithRepeatPlaysItsIterationsWithItsPauses) {
    const auto thread = play(resolveDescriptor(db, paths, PlayDesc{"ID_my_bell", true, 3, 0.4}));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(playedAfterAllEnded(), std::vector<std::string>(3, (userData / "bell.mp3").string()));

    const auto starts = recorder->events(Kind::START);
    const auto closes = recorder->events(Kind::CLOSE);
    ASSERT_EQ(closes.size(), 3u);
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        EXPECT_NEAR(std::chrono::duration<double>(starts[k + 1].at - closes[k].at).count(), 0.4, 1e-6);
    }
}

// Values a database may hold from before the API checked them.
TEST_F(SongResolution, ADescriptorOutsideTheLimitsPlaysWithinThem) {
    struct Case {
        int iterations;
        double delaySec;
        std::uint64_t rounds;
        double delay;
    };
    for (const Case& c : {Case{1000, 5000.0, 100, 600.0}, Case{-1, -3.0, 1, 0.0}, Case{0, 0.5, 1, 0.5}}) {
        const auto request = resolveDescriptor(db, paths, PlayDesc{"ID_bell", true, c.iterations, c.delaySec});
        ASSERT_NE(request, std::nullopt);
        EXPECT_NE(request->rounds, ENDLESS) << c.iterations;
        EXPECT_EQ(request->rounds, c.rounds) << c.iterations;
        EXPECT_EQ(request->delay, c.delay) << c.delaySec;
    }
}

// For programmes that delete themselves: the file goes once played, unless it ships with the
// system or another song still uses it.
TEST_F(SongResolution, APlayThatRemovesItsSongsFileAfterwards) {
    db.songs.add(song("news.mp3", AudioAssetCategory::PROGRAMME), "ID_news_again");
    for (const char* id : {"ID_speech", "ID_news", "ID_bell", "ID_news_again"})
        ASSERT_NE(play(resolveSongThenRemoveFile(db, paths, id)), nullptr) << id;
    playedAfterAllEnded();
    EXPECT_FALSE(fs::exists(userData / "speech.mp3"));
    EXPECT_TRUE(fs::exists(userData / "news.mp3")) << "another song uses it";
    EXPECT_TRUE(fs::exists(assets / "bell.mp3"));
    EXPECT_TRUE(fs::exists(assets / "chime.mp3"));
}

TEST_F(SongResolution, AProgrammedAnnouncementPlaysAfterTheSignalOnceEachWhateverTheCount) {
    const auto thread = play(resolveSong(db, paths, "ID_news", 4, 2.0));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->delay(), 0.0);
    EXPECT_EQ(playedAfterAllEnded(),
              (std::vector<std::string>{(assets / "chime.mp3").string(), (userData / "news.mp3").string()}));
    EXPECT_EQ(recorder->playersMade(), 1u) << "signal and announcement are one request";
}

TEST_F(SongResolution, WithoutAnAnnouncementSignalOnlyTheAnnouncementPlays) {
    db.settings.announcementSignalId = "NULL";
    ASSERT_NE(play(resolveSong(db, paths, "ID_news")), nullptr);
    EXPECT_EQ(playedAfterAllEnded(), std::vector<std::string>{(userData / "news.mp3").string()});

    db.settings.announcementSignalId = "ID_no_such_song";
    ASSERT_NE(play(resolveAnnouncement(db, paths, (userData / "speech.mp3").string(), "an", false)), nullptr);
    EXPECT_EQ(playedAfterAllEnded(),
              (std::vector<std::string>{(userData / "news.mp3").string(), (userData / "speech.mp3").string()}));
}

TEST_F(SongResolution, MissingFilesAreReportedByThePlayerAndRefuseTheWholeAnnouncement) {
    fs::remove(userData / "speech.mp3");
    fs::remove(assets / "chime.mp3");
    ASSERT_NE(play(resolveSong(db, paths, "ID_speech")), nullptr);
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    ASSERT_NE(play(resolveAnnouncement(db, paths, (userData / "news.mp3").string(), "an", false)), nullptr);
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    EXPECT_EQ(log.textsAt(spdlog::level::err),
              (std::vector<std::string>{"ERROR: File does not exist: " + (userData / "speech.mp3").string(),
                                        "ERROR: File does not exist: " + (assets / "chime.mp3").string()}));
    EXPECT_TRUE(recorder->started().empty()) << "nothing is heard";
}

TEST_F(SongResolution, TheAlarmRepeatsItsSignalUntilAborted) {
    recorder->setPlayTime(10ms);
    const auto alarm = play(resolveSong(db, paths, "ID_bell", ENDLESS, 0.01));
    ASSERT_NE(alarm, nullptr);
    ASSERT_TRUE(pauses->runUntil([&] { return recorder->started().size() >= 2; }));
    EXPECT_TRUE(player.isPlaying());
    alarm->abortPlay();
    ASSERT_TRUE(player.waitUntilAllEnded(5s));
    EXPECT_FALSE(player.isPlaying());
    for (const std::string& path : recorder->started()) {
        EXPECT_EQ(path, (assets / "bell.mp3").string());
    }
}

} // namespace
} // namespace tollwick
