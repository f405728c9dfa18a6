// The scheduler thread of the real program rings its bells without one system call on a file:
// strace, attached to that thread alone, sees none while a built-in signal and a user's file ring
// (and the user's file goes once played).
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/factory_ids.h"
#include "storage/atomic_file.h"
#include "storage/store.h"
#include "support/eventually.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tollwick::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string fileText(const fs::path& path) {
    return readWholeFile(path).value_or("");
}

// The thread of `pid` that the system named `name`, or nothing.
std::optional<std::string> threadNamed(pid_t pid, const std::string& name) {
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    std::error_code error;
    for (const auto& task : fs::directory_iterator(tasks, error))
        if (fileText(task.path() / "comm") == name + "\n")
            return task.path().filename().string();
    return std::nullopt;
}

// strace on one thread, writing what it sees of the file system calls to `out`.
struct Strace {
    pid_t pid = -1;
    Strace(const std::string& tid, const fs::path& out, const fs::path& messages) {
        const std::string outText = out.string(), messagesText = messages.string();
        std::vector<const char*> argv{"strace", "-e", "trace=%file", "-e", "signal=none", "-o", outText.c_str(), "-p", tid.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, messagesText.c_str(), O_WRONLY | O_CREAT, 0644);
        if (posix_spawnp(&pid, "strace", &actions, nullptr, const_cast<char**>(argv.data()), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    // Detaches and waits for strace to end.
    void stop() {
        if (pid <= 0)
            return;
        ::kill(pid, SIGINT);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
    }
    ~Strace() { stop(); }
};

TEST(SchedulerThread, RingsBellsWithoutASystemCallOnAFile) {
    TempDir dir;
    const fs::path data = dir.path() / "data", bin = dir.path() / "bin", plays = dir.path() / "plays.txt";
    fs::create_directories(data);
    fs::create_directories(bin);
    for (const char* program : {"mpg123", "aplay"}) {
        std::ofstream(bin / program) << "#!/bin/sh\necho \"$@\" >> '" << plays.string() << "'\nexec sleep 0.2\n";
        fs::permissions(bin / program, fs::perms::owner_all);
    }

    // Two programmes due a few seconds after the start: a built-in signal, and a user's file that
    // is deleted once it has played.
    const std::time_t due = std::time(nullptr) + 8;
    std::tm at{};
    gmtime_r(&due, &at);
    const Date day(at.tm_year + 1900, at.tm_mon + 1, at.tm_mday);
    const TimeOfDay time{at.tm_hour, at.tm_min, at.tm_sec};
    std::ofstream(data / "mine.mp3") << "sound";
    {
        Documents docs;
        docs.db.load(data / "_db.json");
        docs.db.edit().loadFactoryDefault();
        docs.db.edit().songs.add(AudioAsset{"Mine", "", "mine.mp3"}, "ID_mine");
        docs.db.edit().programmes.add(Programme{FACTORY_DEFAULT_SIGNAL_ID_PING, day, time, false}, "ping");
        docs.db.edit().programmes.add(Programme{"ID_mine", day, time, true}, "mine");
        docs.db.saveForce();
    }

    const int port = freePort();
    ServerProcess server({"--port", std::to_string(port)},
                         {"TOLLWICK_DATA_DIR=" + data.string(), "TZ=UTC", "TOLLWICK_SERVICE_URL=http://127.0.0.1:9",
                          "PATH=" + bin.string() + ":" + std::getenv("PATH")},
                         dir.path() / "server.log");
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    std::optional<std::string> scheduler;
    ASSERT_TRUE(eventually([&] { return (scheduler = threadNamed(server.pid(), "Scheduler")).has_value(); }))
        << "no thread named Scheduler";

    Strace strace(*scheduler, dir.path() / "calls.txt", dir.path() / "strace.txt");
    ASSERT_GT(strace.pid, 0) << "strace cannot be started";
    ASSERT_TRUE(eventually([&] { return fileText(dir.path() / "strace.txt").find("attached") != std::string::npos; }))
        << fileText(dir.path() / "strace.txt");
    ASSERT_LT(std::time(nullptr), due) << "the start took too long for the bells to be watched";

    ASSERT_TRUE(eventually([&] { return !fs::exists(data / "mine.mp3"); }, 20s)) << server.log();
    strace.stop();
    const std::string played = fileText(plays);
    EXPECT_NE(played.find("p-ping.mp3"), std::string::npos) << played;
    EXPECT_NE(played.find((data / "mine.mp3").string()), std::string::npos) << played;
    EXPECT_EQ(fileText(dir.path() / "calls.txt"), "") << "system calls on files by the scheduler thread";
}

} // namespace
} // namespace tollwick::test
