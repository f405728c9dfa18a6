#include "audio/player.h"
#include "audio/quick_end_watch.h"
#include "scheduling/clock.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/fake_pauses.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <thread>

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using spdlog::level::err;
using test::PlayRecorder;
using Kind = test::PlayEvent::Kind;
using Op = PlayRecorder::Operation;

// The poll of a sounding file.
constexpr auto TICK = std::chrono::milliseconds(1000 / PlayerThread::TICKS_PER_SECOND);

double secondsBetween(test::SteadyTime from, test::SteadyTime to) {
    return std::chrono::duration<double>(to - from).count();
}

class PlayerTest : public ::testing::Test {
protected:
    // In this order, so that the player (which waits for its threads) goes first and the log capture last.
    test::LogCapture log;
    test::TempDir dir;
    test::FakeTime time{2024, 9, 2, 7, 55, 0};
    Clock clock{time.source()};
    // Pauses and plays take no real time: time moves when the test runs the threads on.
    std::shared_ptr<test::FakePauses> pauses = std::make_shared<test::FakePauses>();
    std::shared_ptr<PlayRecorder> recorder = PlayRecorder::create(pauses);
    Player player{clock, recorder->factory(), pauses};

    std::string file(const std::string& name) {
        std::ofstream(dir.path() / name) << "sound";
        return (dir.path() / name).string();
    }
    // Runs the threads on until every one has ended; answers when the last one ended.
    test::SteadyTime allEnded() {
        EXPECT_TRUE(pauses->runUntil([&] { return player.waitUntilAllEnded(0s); }));
        return pauses->now();
    }
    bool runUntilStarts(std::size_t count) {
        return pauses->runUntil([&] { return recorder->started().size() >= count; });
    }
    void TearDown() override { EXPECT_TRUE(player.waitUntilAllEnded(10s)) << "a playing thread did not end"; }
};

TEST_F(PlayerTest, PlaysAFileCountTimesPausingAfterAllButTheLast) {
    recorder->setPlayTime(100ms);
    const std::string bell = file("bell.mp3");
    ASSERT_NE(player.play({.paths = {bell}, .rounds = 3, .delay = 0.6}), nullptr);
    EXPECT_TRUE(player.isPlaying());
    const auto ended = allEnded();

    const auto events = recorder->events();
    ASSERT_EQ(events.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(events[k].kind, k % 2 == 0 ? Kind::START : Kind::CLOSE);
        EXPECT_EQ(events[k].path, bell);
        EXPECT_FALSE(events[k].wasAborted);
        EXPECT_EQ(events[k].player, 0u) << "one file player serves the whole request";
    }
    for (std::size_t k = 0; k < 6; k += 2) {
        const auto played = events[k + 1].at - events[k].at;
        EXPECT_TRUE(played >= 100ms && played <= 100ms + TICK) << "not closed as the file ended, play " << k / 2;
    }
    EXPECT_NEAR(secondsBetween(events[1].at, events[2].at), 0.6, 1e-6);
    EXPECT_NEAR(secondsBetween(events[3].at, events[4].at), 0.6, 1e-6);
    EXPECT_EQ(ended, events[5].at) << "paused after the last play";
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(log.textsAt(spdlog::level::info),
              std::vector<std::string>(3, "Playing: " + bell + " at 2024-09-02 07:55:00"));
}

TEST_F(PlayerTest, InfiniteRepeatPlaysUntilAborted) {
    recorder->setPlayTime(QuickEndWatch::QUICK_END + 50ms);
    const auto thread = player.play({.paths = {file("alarm.mp3")}, .rounds = ENDLESS, .delay = 0.02});
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(runUntilStarts(3)) << "the repeat stopped by itself";
    EXPECT_TRUE(player.isPlaying());

    thread->abortPlay();
    allEnded();
    EXPECT_EQ(recorder->started().size(), 3u) << "started again after the abort";
    EXPECT_TRUE(recorder->events(Kind::CLOSE).at(2).wasAborted);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(thread->isAlive());
}

// A repeat count comes from the user; it must not become a list of that many paths.
TEST_F(PlayerTest, AHugeRepeatCountCostsNothing) {
    recorder->setPlayTime(5ms);
    const auto thread = player.play({.paths = {file("bell.mp3")}, .rounds = std::numeric_limits<int>::max()});
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->paths().size(), 1u);
    EXPECT_EQ(thread->rounds(), std::uint64_t{std::numeric_limits<int>::max()});
    ASSERT_TRUE(runUntilStarts(3));
    player.stopAll();
}

TEST_F(PlayerTest, StopAllSilencesWithinATickAndEmptiesTheRegistryAtOnce) {
    recorder->setPlayTime(10s);
    const std::vector<std::string> queue{file("a.mp3"), file("b.mp3"), file("c.mp3")};
    const auto thread = player.play({.paths = queue, .delay = 0.5});
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(recorder->waitForStarts(1));

    const auto stopped = pauses->now();
    player.stopAll();
    EXPECT_FALSE(player.isPlaying()) << "stopAll must empty the registry before it returns";
    EXPECT_TRUE(thread->isAborted());
    ASSERT_TRUE(recorder->waitForCloses(1));
    const auto close = recorder->events(Kind::CLOSE).at(0);
    EXPECT_TRUE(close.wasAborted);
    EXPECT_EQ(close.at, stopped) << "an abort silences at once, cutting its tick short";
    // The pause that would have come before b is cut short too.
    EXPECT_EQ(allEnded(), stopped);
    EXPECT_EQ(recorder->started(), std::vector<std::string>{queue[0]});
}

TEST_F(PlayerTest, AnAbortCutsALongPauseShort) {
    recorder->setPlayTime(10ms);
    const auto thread = player.play({.paths = {file("bell.mp3")}, .rounds = 3, .delay = 600.0});
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(pauses->runUntil([&] { return !pauses->asked().empty() && pauses->asked().back() == 600s; }));
    const auto aborted = pauses->now();
    thread->abortPlay();
    EXPECT_EQ(allEnded(), aborted);
    EXPECT_EQ(recorder->started().size(), 1u);
}

// With a file player that allows it, a play's first file starts on the asking thread (the
// scheduler), before the playing thread runs; the rest of the play goes on as ever.
TEST_F(PlayerTest, TheFirstFileStartsOnTheAskingThreadWhenThePlayerAllows) {
    struct Ends : PlayObserver {
        std::mutex mutex;
        std::vector<PlayEnd> ends;
        void playStarted(const LocalMoment&) noexcept override {}
        void playEnded(PlayEnd how, const std::string&) noexcept override {
            std::scoped_lock lock(mutex);
            ends.push_back(how);
        }
    };
    enum class Then { PLAY, FAIL_START, ABORT };
    struct Case {
        Then then;
        PlayEnd end;
        std::vector<std::string> started; // by name, in order
        const char* what;
    } cases[] = {
        {Then::PLAY, PlayEnd::PLAYED, {"first.mp3", "second.mp3"}, "a queue of two"},
        {Then::FAIL_START, PlayEnd::FAILED, {}, "a first file that cannot be started"},
        {Then::ABORT, PlayEnd::STOPPED, {"first.mp3"}, "an abort just after the start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto recorder = PlayRecorder::create();
        recorder->setStartsOnAnyThread(true);
        recorder->setPlayTime(50ms);
        Player player{clock, recorder->factory()};
        const std::string first = file("first.mp3"), second = file("second.mp3");
        if (c.then == Then::FAIL_START)
            recorder->fail(Op::START, first, "no sound device");
        const auto ends = std::make_shared<Ends>();
        const auto thread = player.play({.paths = {first, second}}, ends);
        ASSERT_NE(thread, nullptr);
        if (c.then != Then::FAIL_START) {
            const auto starts = recorder->events(Kind::START);
            ASSERT_EQ(starts.size(), 1u) << "started before the call returned";
            EXPECT_EQ(starts[0].thread, std::this_thread::get_id());
        }
        if (c.then == Then::ABORT)
            thread->abortPlay();
        ASSERT_TRUE(player.waitUntilAllEnded(10s));
        std::vector<std::string> started;
        for (const auto& event : recorder->events(Kind::START))
            started.push_back(std::filesystem::path(event.path).filename().string());
        EXPECT_EQ(started, c.started);
        const auto closes = recorder->events(Kind::CLOSE);
        ASSERT_EQ(closes.size(), c.started.size()) << "every file started is closed";
        if (c.then == Then::ABORT) {
            EXPECT_TRUE(closes[0].wasAborted);
        }
        if (c.then == Then::PLAY) {
            EXPECT_NE(recorder->events(Kind::START)[1].thread, std::this_thread::get_id());
        }
        EXPECT_EQ(ends->ends, std::vector<PlayEnd>{c.end}) << "reported once, as it ended";
    }
}

// Every thread that leaves the registry through stopAll is told to stop, also one that was
// registered but not yet running when stopAll came.
TEST_F(PlayerTest, StopAllReachesPlaysThatAreJustStarting) {
    recorder->setPlayTime(10s);
    const std::string bell = file("bell.mp3");
    std::atomic<bool> starting{true};
    std::vector<std::shared_ptr<PlayerThread>> threads;
    std::thread starter([&] {
        for (int i = 0; i < 300; ++i)
            threads.push_back(player.play({.paths = {bell}}));
        starting = false;
    });
    while (starting)
        player.stopAll();
    starter.join();
    player.stopAll();
    for (const auto& thread : threads)
        EXPECT_TRUE(thread->isAborted());
    allEnded();
}

TEST_F(PlayerTest, AnEndlessRepeatThatEndsAtOnceStartsAgainOnceASecondAndSaysSoOnce) {
    const std::string alarm = file("alarm.mp3");
    recorder->setPlayTime(0ms); // as a player program that exits at once
    ASSERT_NE(player.play({.paths = {alarm}, .rounds = ENDLESS}), nullptr);
    ASSERT_TRUE(runUntilStarts(3));
    player.stopAll();
    allEnded();
    const auto starts = recorder->events(Kind::START);
    ASSERT_EQ(starts.size(), 3u);
    for (std::size_t k = 1; k < starts.size(); ++k)
        EXPECT_EQ(starts[k].at - starts[k - 1].at, QuickEndWatch::RETRY_PAUSE) << k;
    EXPECT_EQ(log.textsAt(spdlog::level::info).size(), 1u) << "only the first start is logged";
    const auto warnings = log.textsAt(spdlog::level::warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with(alarm + " ended 0.0")) << warnings[0];
}

TEST_F(PlayerTest, FilesToRemoveGoWhenThePlayHasEndedOrAtOnceWhenNothingPlays) {
    recorder->setPlayTime(100ms);
    const std::string played = file("announcement-1.mp3");
    ASSERT_NE(player.play({.paths = {played}, .removeWhenDone = {played}}), nullptr);
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_TRUE(std::filesystem::exists(played)) << "not while it plays";
    allEnded();
    EXPECT_FALSE(std::filesystem::exists(played));

    const std::string refused = file("announcement-2.mp3");
    EXPECT_NE(player.play({.paths = {(dir.path() / "missing-signal.mp3").string(), refused}, .removeWhenDone = {refused}}),
              nullptr);
    for (int i = 0; i < 500 && std::filesystem::exists(refused); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(std::filesystem::exists(refused));

    recorder->setPlayTime(10s);
    for (std::size_t i = 0; i < MAX_PLAYS_IN_PROGRESS; ++i)
        player.play({.paths = {file("long.mp3")}}, {}, PlayPriority::BY_HAND);
    const std::string beyond = file("announcement-3.mp3");
    EXPECT_THROW(player.play({.paths = {beyond}, .removeWhenDone = {beyond}}, {}, PlayPriority::BY_HAND), TooManyPlaysError);
    EXPECT_TRUE(test::eventually([&] { return !std::filesystem::exists(beyond); })) << "refused at the bound";
    player.stopAll();
}

TEST_F(PlayerTest, RequestsPlayTogetherAndStopApart) {
    recorder->setPlayTime(10s);
    const auto first = player.play({.paths = {file("first.mp3")}});
    const auto second = player.play({.paths = {file("second.mp3")}, .rounds = ENDLESS, .delay = 1.0});
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(recorder->waitForStarts(2));
    EXPECT_EQ(recorder->sounding(), 2u);
    EXPECT_EQ(recorder->playersMade(), 2u) << "every request has its own file player";

    first->abortPlay();
    ASSERT_TRUE(recorder->waitForCloses(1));
    EXPECT_EQ(recorder->events(Kind::CLOSE).at(0).path, first->paths().at(0));
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(recorder->sounding(), 1u);

    player.stopAll();
    EXPECT_FALSE(player.isPlaying());
    ASSERT_TRUE(recorder->waitForCloses(2));
    EXPECT_TRUE(recorder->events(Kind::CLOSE).at(1).wasAborted);
}

TEST_F(PlayerTest, CountZeroGivesAThreadThatPlaysNothingWhateverThePath) {
    const auto thread = player.play({.paths = {(dir.path() / "not-there.mp3").string()}, .rounds = 0});
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(thread->paths().empty());
    allEnded();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(thread->isAlive());
    EXPECT_TRUE(recorder->events().empty());
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(PlayerTest, AMissingFileRefusesTheWholeQueue) {
    const std::string missing = (dir.path() / "missing.mp3").string();
    EXPECT_NE(player.play({.paths = {file("present.mp3"), missing}}), nullptr);
    allEnded();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(recorder->events().empty()) << "nothing is heard";
    EXPECT_EQ(log.lines(), (std::vector<test::LogLine>{{err, "ERROR: File does not exist: " + missing}}));
}

TEST_F(PlayerTest, AFileThatCannotBeStartedEndsTheRequestEvenAnEndlessOne) {
    recorder->setPlayTime(20ms);
    const std::vector<std::string> queue{file("a.mp3"), file("b.ogg"), file("c.mp3")};
    recorder->fail(Op::START, queue[1], "Unsupported file format: .ogg");
    ASSERT_NE(player.play({.paths = queue}), nullptr);
    ASSERT_NE(player.play({.paths = {queue[1]}, .rounds = ENDLESS}), nullptr);
    allEnded();

    EXPECT_EQ(recorder->started(), std::vector<std::string>{queue[0]});
    EXPECT_EQ(recorder->events(Kind::CLOSE).size(), 1u) << "a file that never started is not closed";
    EXPECT_EQ(log.textsAt(err),
              std::vector<std::string>(2, "Failed to play the file: " + queue[1] + " - Unsupported file format: .ogg"));
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(PlayerTest, AFileThatCannotBeClosedIsReportedAndTheQueueGoesOn) {
    const std::vector<std::string> queue{file("a.mp3"), file("b.mp3")};
    recorder->fail(Op::CLOSE, queue[0], "still busy");
    ASSERT_NE(player.play({.paths = queue}), nullptr);
    allEnded();
    EXPECT_EQ(recorder->started(), queue);
    EXPECT_EQ(log.textsAt(err), std::vector<std::string>{"Failed to close file: " + queue[0] + " - still busy"});
}

TEST_F(PlayerTest, AFailureWhilePollingEndsTheThreadAndDeregistersIt) {
    const std::string path = file("a.mp3");
    recorder->setPlayTime(10s);
    recorder->fail(Op::POLL, path, "status query failed");
    const auto thread = player.play({.paths = {path}, .rounds = 2});
    ASSERT_NE(thread, nullptr);
    allEnded();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(recorder->started().size(), 1u);
    EXPECT_EQ(log.textsAt(err),
              std::vector<std::string>{"Exception in thread " + thread->name() + ": status query failed"});
}

TEST_F(PlayerTest, RequestsFromManyThreadsAtOnceAllPlayAndAllLeaveTheRegistry) {
    recorder->setPlayTime(5ms);
    const std::string bell = file("bell.mp3");
    std::vector<std::thread> callers;
    for (int c = 0; c < 6; ++c) {
        callers.emplace_back([&] {
            for (int r = 0; r < 8; ++r) {
                EXPECT_NE(player.play({.paths = {bell}, .rounds = 2}), nullptr);
                player.isPlaying();
            }
        });
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    allEnded();
    EXPECT_EQ(recorder->started().size(), 96u);
    EXPECT_EQ(recorder->playersMade(), 48u);
    EXPECT_FALSE(player.isPlaying());
}

// A Player that goes away aborts its threads and waits for them, cutting even a long pause short,
// so that no thread outlives the clock and factory it was given.
TEST(PlayerLifetime, DestroyingThePlayerEndsItsThreadsPromptly) {
    test::LogCapture log;
    test::TempDir dir;
    const std::string path = (dir.path() / "alarm.mp3").string();
    std::ofstream(path) << "sound";
    auto recorder = PlayRecorder::create();
    recorder->setPlayTime(10ms);
    std::shared_ptr<PlayerThread> thread;
    const auto begin = std::chrono::steady_clock::now();
    {
        test::FakeTime time{2024, 1, 8};
        Clock clock{time.source()};
        Player player{clock, recorder->factory()};
        thread = player.play({.paths = {path}, .rounds = ENDLESS, .delay = 60.0});
        ASSERT_TRUE(recorder->waitForCloses(1));
    }
    EXPECT_LT(secondsBetween(begin, std::chrono::steady_clock::now()), 5.0);
    EXPECT_FALSE(thread->isAlive());
    EXPECT_EQ(recorder->started().size(), 1u);
}

} // namespace
} // namespace tollwick
