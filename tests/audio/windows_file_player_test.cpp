// WindowsFilePlayer and the MCI length measurement, through a recording MCI: the exact command
// strings, the shared alias counter and the error text. The same tests run in the Linux and the
// Windows builds; tests/windows plays real files through the real MCI.
#include "audio/mci.h"
#include "audio/windows_file_player.h"
#include "runtime/errors.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tollwick {
namespace {

// Answers commands by their first word ("open", "status", ...), "" with status 0 otherwise, and
// records every command sent.
struct RecordingMci {
    struct Reply {
        std::uint32_t status = 0;
        std::string answer;
    };
    std::mutex mutex; // guards commands
    std::vector<std::string> commands;
    std::map<std::string, Reply> replies;

    Mci mci() {
        return Mci{[this](const std::string& command, std::string& answer) -> std::uint32_t {
                       std::scoped_lock lock(mutex);
                       commands.push_back(command);
                       const auto reply = replies.find(command.substr(0, command.find(' ')));
                       answer = reply == replies.end() ? "" : reply->second.answer;
                       return reply == replies.end() ? 0 : reply->second.status;
                   },
                   [](std::uint32_t status) { return "MCI text for " + std::to_string(status); }};
    }
};

// The number of the alias in a command that ends with one.
std::uint64_t aliasNumber(const std::string& command) {
    return std::stoull(command.substr(command.rfind("tollwickSong") + 12));
}

TEST(WindowsFilePlayer, PlaysPollsAndClosesWithTheExactCommands) {
    RecordingMci recording;
    recording.replies["status"] = {0, "playing"};
    WindowsFilePlayer player(recording.mci());
    player.startPlay(R"(C:\Program Files\Tollwick Player\assets\s-bell 1.mp3)");
    const std::string alias = player.alias();
    EXPECT_TRUE(player.isPlaying());
    recording.replies["status"] = {0, "stopped"};
    EXPECT_FALSE(player.isPlaying());
    player.closeFile(false);
    EXPECT_EQ(recording.commands,
              (std::vector<std::string>{R"(open "C:\Program Files\Tollwick Player\assets\s-bell 1.mp3" alias )" + alias,
                                        "play " + alias, "status " + alias + " mode", "status " + alias + " mode",
                                        "close " + alias}));
    EXPECT_TRUE(alias.starts_with("tollwickSong")) << alias;
}

TEST(WindowsFilePlayer, OnlyTheAnswerPlayingCountsAsPlaying) {
    for (const char* answer : {"stopped", "paused", "not ready", "Playing", "playing ", ""}) {
        RecordingMci recording;
        recording.replies["status"] = {0, answer};
        WindowsFilePlayer player(recording.mci());
        player.startPlay("a.wav");
        EXPECT_FALSE(player.isPlaying()) << '"' << answer << '"';
    }
}

TEST(WindowsFilePlayer, AnAbortedFileIsClosedLikeAFinishedOne) {
    RecordingMci recording;
    WindowsFilePlayer player(recording.mci());
    player.startPlay("a.wav");
    player.closeFile(true);
    EXPECT_EQ(recording.commands.back(), "close " + player.alias());
    EXPECT_EQ(recording.commands.size(), 3u);
}

TEST(WindowsFilePlayer, AliasesCountUpAcrossPlayersAndThreadsAndNeverRepeat) {
    RecordingMci recording;
    std::vector<std::uint64_t> numbers;
    for (int i = 0; i < 3; ++i) {
        WindowsFilePlayer player(recording.mci());
        player.startPlay("file" + std::to_string(i) + ".mp3");
        numbers.push_back(aliasNumber(player.alias()));
    }
    EXPECT_EQ(numbers[1], numbers[0] + 1);
    EXPECT_EQ(numbers[2], numbers[0] + 2);

    // Eight threads starting 50 files each draw 400 different numbers.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&recording] {
            WindowsFilePlayer player(recording.mci());
            for (int i = 0; i < 50; ++i)
                player.startPlay("x.wav");
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::uint64_t> opened;
    for (const std::string& command : recording.commands)
        if (command.starts_with("open ") && aliasNumber(command) > numbers[2])
            opened.insert(aliasNumber(command));
    EXPECT_EQ(opened.size(), 400u);
    EXPECT_EQ(*opened.rbegin() - *opened.begin(), 399u);
}

TEST(WindowsFilePlayer, AnMciErrorIsLoggedAndRaisedWithItsCommandAndText) {
    test::LogCapture log;
    RecordingMci recording;
    recording.replies["open"] = {275, ""};
    WindowsFilePlayer player(recording.mci());
    try {
        player.startPlay("missing.wav");
        FAIL() << "startPlay did not fail";
    } catch (const Error& e) {
        const std::string expected = "\n    Error 275 for command:\n        open \"missing.wav\" alias " +
                                     player.alias() + "\n    MCI text for 275";
        EXPECT_EQ(e.what(), expected);
        EXPECT_TRUE(log.contains(spdlog::level::err, expected));
    }
    EXPECT_EQ(recording.commands.size(), 1u) << "nothing is played after a failed open";

    recording.replies.clear();
    recording.replies["status"] = {263, ""};
    player.startPlay("b.wav");
    EXPECT_THROW(player.isPlaying(), Error);
}

TEST(MciAudioSeconds, AsksForMillisecondsAndClosesWhatItOpened) {
    struct Case {
        RecordingMci::Reply open, length;
        double seconds;
        std::size_t commands;
    };
    const std::vector<Case> cases = {
        {{0, ""}, {0, "90500"}, 90.5, 4},  // open, set, status, close
        {{0, ""}, {0, "0"}, 0.0, 4},       // an empty file is 0 s long
        {{275, ""}, {0, "1000"}, -1.0, 1}, // not opened: nothing more is sent
        {{0, ""}, {277, ""}, -1.0, 4},     // not measured: still closed
        {{0, ""}, {0, "12.5s"}, -1.0, 4},  // an answer that is no number
    };
    for (const Case& c : cases) {
        RecordingMci recording;
        recording.replies["open"] = c.open;
        recording.replies["status"] = c.length;
        EXPECT_EQ(mciAudioSeconds(recording.mci(), "C:\\a b.wav"), c.seconds) << c.length.answer;
        ASSERT_EQ(recording.commands.size(), c.commands);
        const std::string& open = recording.commands[0];
        ASSERT_TRUE(open.starts_with("open \"C:\\a b.wav\" alias tollwickLength")) << open;
        const std::string alias = open.substr(open.rfind(' ') + 1);
        if (c.commands == 4) {
            EXPECT_EQ(std::vector<std::string>(recording.commands.begin() + 1, recording.commands.end()),
                      (std::vector<std::string>{"set " + alias + " time format milliseconds",
                                                "status " + alias + " length", "close " + alias}));
        }
    }
}

} // namespace
} // namespace tollwick
