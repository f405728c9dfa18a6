#include "audio/linux_file_player.h"
#include "audio/player.h"
#include "runtime/errors.h"
#include "runtime/thread_priority.h"
#include "scheduling/clock.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"
#include "support/wave_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Limits = LinuxFilePlayer::Limits;

// Stands in for mpg123 and aplay. It logs how it was called and what became of its signals, and
// behaves as the directory of the file it is given says: "quick" ends by itself after 0.1 s,
// "stubborn" ignores SIGTERM and never ends, anything else plays until SIGTERM.
constexpr const char* FAKE_PLAYER = R"SH(#!/bin/sh
log='@LOG@'
name=${0##*/}
printf '%s args=%s first=%s\n' "$name" "$#" "$1" >> "$log"
printf '%s stderr=%s\n' "$name" "$(readlink /proc/$$/fd/2)" >> "$log"
case "$1" in
  */stubborn/*) trap 'printf "%s ignored TERM\n" "$name" >> "$log"' TERM ;;
  *) trap 'printf "%s got TERM\n" "$name" >> "$log"; exit 143' TERM ;;
esac
printf '%s ready\n' "$name" >> "$log"
case "$1" in
  */quick/*) sleep 0.1 ;;
  *) while :; do sleep 0.05; done ;;
esac
printf '%s done\n' "$name" >> "$log"
)SH";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// True once the process is gone and reaped: a zombie still answers signal 0.
bool reaped(pid_t pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

class FakePlayerPrograms : public ::testing::Test {
protected:
    test::LogCapture log;
    test::TempDir dir;
    fs::path bin = dir.path() / "bin";
    fs::path callLog = dir.path() / "calls.log";
    test::ScopedEnv path{"PATH", bin.string() + ":" + std::getenv("PATH")};

    FakePlayerPrograms() {
        fs::create_directories(bin);
        std::string script = FAKE_PLAYER;
        script.replace(script.find("@LOG@"), 5, callLog.string());
        for (const char* program : {"mpg123", "aplay"}) {
            std::ofstream(bin / program) << script;
            fs::permissions(bin / program, fs::perms::owner_all);
        }
        for (const char* mode : {"quick", "forever", "stubborn"}) {
            fs::create_directories(dir.path() / mode);
        }
    }

    // A file for the fake players; its directory tells them how to behave.
    std::string file(const std::string& mode, const std::string& name) {
        const fs::path path = dir.path() / mode / name;
        std::ofstream(path) << "not really audio";
        return path.string();
    }

    std::vector<std::string> calls() const {
        std::ifstream in(callLog);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    bool called(const std::string& line) const { return std::ranges::count(calls(), line) > 0; }
    bool waitForCall(const std::string& line, std::chrono::milliseconds timeout = 5s) const {
        const auto giveUp = std::chrono::steady_clock::now() + timeout;
        while (!called(line)) {
            if (std::chrono::steady_clock::now() > giveUp) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }
    // Polls as the playing thread does; answers how long the file played.
    double playToTheEnd(LinuxFilePlayer& player, std::chrono::seconds limit = 20s) {
        const auto start = std::chrono::steady_clock::now();
        while (player.isPlaying()) {
            if (std::chrono::steady_clock::now() - start > limit) {
                ADD_FAILURE() << "still playing after " << limit.count() << " s";
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        return secondsSince(start);
    }
};

TEST_F(FakePlayerPrograms, TheExtensionChoosesTheProgramInAnyCase) {
    const std::string mp3 = file("quick", "two words; $HOME.MP3");
    const std::string wav = file("quick", "x.Wav");
    LinuxFilePlayer player;
    for (const std::string& path : {mp3, wav}) {
        player.startPlay(path);
        playToTheEnd(player);
    }
    EXPECT_TRUE(called("mpg123 args=1 first=" + mp3)) << "the path is one argument, untouched";
    EXPECT_TRUE(called("aplay args=1 first=" + wav));
    EXPECT_TRUE(called("mpg123 stderr=/dev/null"));
    EXPECT_EQ(calls().size(), 8u) << "each program started exactly once";

    const std::vector<std::pair<std::string, std::string>> refused{
        {"x.ogg", "Unsupported file format: .ogg"},
        {"mp3", "Unsupported file format: "},
        {".mp3", "Unsupported file format: "},
        {"song.mp3.FLAC", "Unsupported file format: .flac"},
    };
    for (const auto& [name, message] : refused) {
        try {
            player.startPlay(file("quick", name));
            ADD_FAILURE() << name << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_FALSE(player.isPlaying());
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls().size(), 8u) << "a refused file started a program";
}

TEST_F(FakePlayerPrograms, AFileThatEndsByItselfIsReapedAndNeverSignalled) {
    const std::string path = file("quick", "bell.mp3");
    LinuxFilePlayer player;
    player.startPlay(path);
    const pid_t pid = player.childPid();
    ASSERT_GT(pid, 0);
    const double played = playToTheEnd(player);
    EXPECT_GE(played, 0.05);
    EXPECT_TRUE(reaped(pid));

    // An abort that comes after the end, as when stopAll meets a finished file, sends nothing either.
    player.closeFile(false);
    player.closeFile(true);
    EXPECT_TRUE(called("mpg123 done"));
    EXPECT_FALSE(called("mpg123 got TERM"));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(FakePlayerPrograms, AnAbortSendsSIGTERMAndReapsTheChild) {
    const std::string path = file("forever", "bell.wav");
    LinuxFilePlayer player;
    player.startPlay(path);
    ASSERT_TRUE(waitForCall("aplay ready"));
    EXPECT_TRUE(player.isPlaying());

    const auto start = std::chrono::steady_clock::now();
    player.closeFile(true);
    EXPECT_LT(secondsSince(start), 0.9) << "the child ended on SIGTERM, not on the SIGKILL that follows";
    EXPECT_TRUE(called("aplay got TERM"));
    EXPECT_TRUE(reaped(player.childPid()));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(log.lines().empty());
}

// The HTTP library ignores SIGPIPE for the whole process, and a thread may block signals; neither
// may reach the child, or it could not be stopped.
TEST_F(FakePlayerPrograms, TheChildGetsDefaultSignalHandlingWhateverTheParentHas) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGTERM, &ignore, &previous), 0);
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigset_t previousMask;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previousMask), 0);

    const std::string path = file("forever", "bell.mp3");
    LinuxFilePlayer player(Limits{.graceAfterTerminate = 3s});
    player.startPlay(path);
    const bool started = waitForCall("mpg123 ready");
    const auto start = std::chrono::steady_clock::now();
    player.closeFile(true);
    const double stopping = secondsSince(start);

    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGTERM, &previous, nullptr);
    ASSERT_TRUE(started);
    EXPECT_TRUE(called("mpg123 got TERM"));
    EXPECT_LT(stopping, 2.5);
}

TEST_F(FakePlayerPrograms, AChildThatIgnoresSIGTERMIsKilledAfterItsGrace) {
    const std::string path = file("stubborn", "bell.mp3");
    LinuxFilePlayer player(Limits{.graceAfterTerminate = 300ms});
    player.startPlay(path);
    ASSERT_TRUE(waitForCall("mpg123 ready"));

    const auto start = std::chrono::steady_clock::now();
    player.closeFile(true);
    const double stopping = secondsSince(start);
    EXPECT_GE(stopping, 0.25);
    EXPECT_LT(stopping, 3.0);
    EXPECT_TRUE(waitForCall("mpg123 ignored TERM", 1s));
    EXPECT_TRUE(reaped(player.childPid()));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(
        log.textsAt(spdlog::level::err),
        std::vector<std::string>{"Killed mpg123 playing " + path + ": it did not exit after the termination signal"});
}

TEST_F(FakePlayerPrograms, AChildStillRunningLongAfterItsFileShouldHaveEndedIsKilled) {
    // A file whose length cannot be measured has the generous bound, here 0.7 s.
    const std::string unmeasurable = file("stubborn", "unmeasurable.mp3");
    LinuxFilePlayer player(Limits{.graceAfterLength = 300ms, .unknownLength = 700ms});
    player.startPlay(unmeasurable);
    const pid_t pid = player.childPid();
    const double played = playToTheEnd(player);
    EXPECT_GE(played, 0.65);
    EXPECT_LT(played, 5.0);
    EXPECT_TRUE(reaped(pid));
    player.closeFile(false);
    EXPECT_FALSE(called("mpg123 ignored TERM")) << "a hung child gets SIGKILL straight away";
    const auto errors = log.textsAt(spdlog::level::err);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("Killed mpg123 playing " + unmeasurable + ": still running ")) << errors[0];
    EXPECT_TRUE(errors[0].ends_with(" s after it started, longer than the file lasts")) << errors[0];

    // A file of one second may play for that second plus the grace.
    const fs::path second = dir.path() / "stubborn" / "one-second.wav";
    test::writeSilentWave(second, 1.0);
    player.startPlay(second.string());
    const double playedSecond = playToTheEnd(player);
    EXPECT_GE(playedSecond, 1.25) << "killed before the file could have ended";
    EXPECT_LT(playedSecond, 10.0);
    EXPECT_EQ(log.textsAt(spdlog::level::err).size(), 2u);
}

TEST_F(FakePlayerPrograms, ANewFileOrTheEndOfThePlayerStopsAChildStillRunning) {
    const std::string first = file("forever", "first.mp3");
    const std::string second = file("forever", "second.wav");
    pid_t firstPid = 0;
    pid_t secondPid = 0;
    {
        LinuxFilePlayer player;
        player.startPlay(first);
        firstPid = player.childPid();
        ASSERT_TRUE(waitForCall("mpg123 ready"));
        player.startPlay(second);
        secondPid = player.childPid();
        EXPECT_TRUE(called("mpg123 got TERM"));
        EXPECT_TRUE(reaped(firstPid));
        ASSERT_TRUE(waitForCall("aplay ready"));
    }
    EXPECT_TRUE(called("aplay got TERM"));
    EXPECT_TRUE(reaped(secondPid));
}

// A bell's player starts at the real-time priority of the scheduler's thread that starts it and
// drops to the normal policy once its start is over; what another thread starts runs normally.
TEST_F(FakePlayerPrograms, AChildStartedByARealTimeThreadKeepsThatPriorityOnlyForItsStart) {
    const std::string path = file("forever", "bell.mp3");
    Limits longStart;
    longStart.realTimeStart = 1h;
    LinuxFilePlayer keeping(longStart);
    LinuxFilePlayer dropping;
    bool granted = false;
    std::thread([&] {
        granted = raiseToTimeCriticalPriority();
        keeping.startPlay(path);
        dropping.startPlay(path);
    }).join();
    LinuxFilePlayer normal;
    normal.startPlay(path);
    EXPECT_EQ(::sched_getscheduler(normal.childPid()), SCHED_OTHER);
    if (!granted)
        GTEST_SKIP() << "this process may not take a real-time priority";
    // Natively the spawn returns once the child has its priority; where it is emulated as fork and
    // exec, the child may take it a moment later. Only isPlaying() drops it again.
    EXPECT_TRUE(test::eventually([&] { return ::sched_getscheduler(dropping.childPid()) == SCHED_FIFO; }));
    EXPECT_TRUE(keeping.isPlaying());
    EXPECT_TRUE(test::eventually([&] { return ::sched_getscheduler(keeping.childPid()) == SCHED_FIFO; }));
    EXPECT_TRUE(test::eventually(
        [&] { return dropping.isPlaying() && ::sched_getscheduler(dropping.childPid()) == SCHED_OTHER; }));
}

TEST_F(FakePlayerPrograms, AProgramThatIsNotInstalledFailsTheStart) {
    test::ScopedEnv emptyPath("PATH", (dir.path() / "quick").string());
    LinuxFilePlayer player;
    try {
        player.startPlay(file("quick", "bell.mp3"));
        ADD_FAILURE() << "started without mpg123";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("mpg123"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(player.isPlaying());
    player.closeFile(true);
}

class PlayerWithFakePrograms : public FakePlayerPrograms {
protected:
    test::FakeTime time{2024, 9, 2, 8, 0, 0};
    Clock clock{time.source()};
    Player player{clock};

    void TearDown() override { EXPECT_TRUE(player.waitUntilAllEnded(10s)); }
};

TEST_F(PlayerWithFakePrograms, AnUnsupportedFileEndsItsThreadAfterTheErrorLine) {
    const std::string path = file("quick", "x.ogg");
    ASSERT_NE(player.play({.paths = {path}, .rounds = 3}), nullptr);
    ASSERT_TRUE(player.waitUntilAllEnded(5s));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(log.textsAt(spdlog::level::err),
              std::vector<std::string>{"Failed to play the file: " + path + " - Unsupported file format: .ogg"});
}

TEST_F(PlayerWithFakePrograms, StopAllTerminatesTheProgramsOfEveryRequest) {
    ASSERT_NE(player.play({.paths = {file("forever", "alarm.mp3")}, .rounds = ENDLESS}), nullptr);
    ASSERT_NE(player.play({.paths = {file("forever", "bell.wav")}}), nullptr);
    ASSERT_TRUE(waitForCall("mpg123 ready"));
    ASSERT_TRUE(waitForCall("aplay ready"));

    player.stopAll();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(waitForCall("mpg123 got TERM", 1s));
    EXPECT_TRUE(waitForCall("aplay got TERM", 1s));
    ASSERT_TRUE(player.waitUntilAllEnded(5s));
    EXPECT_EQ(std::ranges::count(calls(), "mpg123 ready"), 1) << "the aborted repeat started again";
}

} // namespace
} // namespace tollwick
