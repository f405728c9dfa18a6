#pragma once
// What the benchmarks that run the real server share: a scratch directory whose "mpg123" records
// when it was started, the large database with a timetable of one-second lessons (a bell at every
// start and end), and percentiles of the bells' offsets from their seconds.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "large_document.h"
#include "model/local_time.h"

extern char** environ;

namespace tollwick::bench {

// Makes scratch/data and scratch/bin, with scratch/bin/mpg123 the recording program.
inline void prepareBellScratch(const std::filesystem::path& scratch, const std::filesystem::path& recorder) {
    std::filesystem::create_directories(scratch / "data");
    std::filesystem::create_directories(scratch / "bin");
    std::filesystem::create_symlink(recorder, scratch / "bin" / "mpg123");
}

// Writes scratch/data/_db.json: the large database whose default timetable has `lessons` lessons of
// one second each, two seconds apart, the first starting at `first`. Answers the database written.
inline DB writeBellDatabase(const std::filesystem::path& scratch, std::chrono::system_clock::time_point first,
                            int lessons) {
    DB db = databaseShapedDocument();
    db.timetables.add(TimeTable{"Bells"}, FACTORY_DEFAULT_TIMETABLE_ID);
    db.ensureFactorySongsAvailable();
    TimeTable& tt = db.timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
    tt.chA.lessons.clear();
    const int t0 = TimeOfDay::fromTimeStruct(clockReadingAt(first)).toSecondsOfDay();
    for (int i = 0; i < lessons; ++i)
        tt.chA.lessons.push_back(
            {TimeOfDay::fromSecondsOfDay(t0 + 2 * i), TimeOfDay::fromSecondsOfDay(t0 + 2 * i + 1)});
    tt.chA.startOfClass.id = "ID_ping";
    tt.chA.endOfClass.id = "ID_ping";
    tt.chA.preStart.id = tt.chA.preEnd.id = "NULL";
    std::ofstream(scratch / "data" / "_db.json") << to_json(db);
    return db;
}

// Starts the built server on `port` with scratch/data as its user data, scratch/bin first on PATH
// and an unreachable vendor service; the recording player writes to `starts`. Its log is dropped.
inline pid_t startBellServer(const std::filesystem::path& scratch, const std::filesystem::path& starts, int port) {
    const pid_t server = ::fork();
    if (server != 0)
        return server;
    ::setenv("TOLLWICK_DATA_DIR", (scratch / "data").c_str(), 1);
    ::setenv("TOLLWICK_SERVICE_URL", "http://127.0.0.1:9", 1);
    ::setenv("BENCH_STARTS", starts.c_str(), 1);
    ::setenv("PATH", ((scratch / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDERR_FILENO);
    const std::string program = (std::filesystem::path(TOLLWICK_BINARY_DIR) / "tollwick-player").string();
    const std::string portText = std::to_string(port);
    ::execl(program.c_str(), program.c_str(), "--port", portText.c_str(), nullptr);
    ::_exit(127);
}

inline double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

// The start times the recording player wrote, in microseconds since the epoch.
inline std::vector<long long> readBellStarts(const std::filesystem::path& starts) {
    std::vector<long long> out;
    std::ifstream in(starts);
    for (long long us; in >> us;)
        out.push_back(us);
    return out;
}

// How far into its second a bell started, in milliseconds.
inline double offsetFromSecondMs(long long startMicros) {
    return static_cast<double>(startMicros % 1'000'000) / 1000.0;
}

// "p50 … ms   p95 … ms   max … ms" of non-empty `offsets`.
inline std::string offsetSummary(const std::vector<double>& offsets) {
    char text[128];
    std::snprintf(text, sizeof text, "p50 %.2f ms   p95 %.2f ms   max %.2f ms", percentile(offsets, 0.5),
                  percentile(offsets, 0.95), percentile(offsets, 1.0));
    return text;
}

// What starting a program costs on this machine, apart from the server: the recording player is
// started `count` times by a bare posix_spawn and each time the delay from the call to its first
// instruction of main is taken, in milliseconds. A bell cannot start sooner after its second than
// this. The starts come 50 ms apart, or, with `midSecond`, each half a second after a second, away
// from the bells of a server running meanwhile. `starts` is the file the player writes to; the
// player learns it from its own environment, so that other threads may read this process's.
inline std::vector<double> programStartDelays(const std::filesystem::path& recorder,
                                              const std::filesystem::path& starts, int count,
                                              bool midSecond = false) {
    using namespace std::chrono;
    std::vector<std::string> environment{"BENCH_STARTS=" + starts.string()};
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (!std::string_view(*variable).starts_with("BENCH_STARTS="))
            environment.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    std::vector<long long> calls;
    for (int i = 0; i < count; ++i) {
        if (midSecond)
            std::this_thread::sleep_until(ceil<seconds>(system_clock::now() + milliseconds(500)) - milliseconds(500));
        else if (i > 0)
            std::this_thread::sleep_for(milliseconds(50));
        char* const arguments[] = {const_cast<char*>(recorder.c_str()), nullptr};
        pid_t child = 0;
        calls.push_back(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
        if (::posix_spawn(&child, recorder.c_str(), nullptr, nullptr, arguments, envp.data()) == 0)
            ::waitpid(child, nullptr, 0);
    }
    const std::vector<long long> started = readBellStarts(starts);
    std::vector<double> delays;
    for (std::size_t i = 0; i < started.size() && i < calls.size(); ++i)
        delays.push_back(static_cast<double>(started[i] - calls[i]) / 1000.0);
    return delays;
}

// Ends the server started by startBellServer and removes its scratch directory.
inline void stopBellServer(pid_t server, const std::filesystem::path& scratch) {
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    std::filesystem::remove_all(scratch);
}

} // namespace tollwick::bench
