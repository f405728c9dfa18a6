// Measures the web back end under load: the real server with the large database, driven by wrk
// for 10 s on each of "/api/get/overview", "/api/get/status" and "/db", reporting requests per
// second and latency percentiles, and how close to their seconds the bells start while it runs.
// As in the punctuality benchmark, "mpg123" on PATH is a small program that records the moment it
// was started. Without wrk (a Debian package, installed by scripts/install-deps) it says so and
// measures nothing.
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <httplib.h>

#include "bell_server.h"
#include "model/json_text.h"
#include "model/local_time.h"

using namespace tollwick;
namespace fs = std::filesystem;
using SystemTime = std::chrono::system_clock::time_point;

namespace {

constexpr int RUN_SECONDS = 10;
constexpr std::array<const char*, 3> PATHS{"/api/get/overview", "/api/get/status", "/db"};
// Bells every second from a few seconds after start until after the last run.
constexpr int LESSONS = 3 * (RUN_SECONDS + 2) / 2 + 4;

long long micros(SystemTime t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

// A wrk latency such as "812.00us", "3.41ms" or "1.02s", in milliseconds.
double milliseconds(const std::string& text) {
    const double value = std::atof(text.c_str());
    if (text.ends_with("us"))
        return value / 1000.0;
    if (text.ends_with("ms"))
        return value;
    if (text.ends_with("s"))
        return value * 1000.0;
    return value;
}

// The word after `label` in wrk's report, searched from `from` on.
std::string after(const std::string& report, const std::string& label, const std::string& from = "") {
    const std::size_t at = report.find(label, from.empty() ? 0 : report.find(from));
    if (at == std::string::npos)
        return "?";
    std::size_t start = report.find_first_not_of(" \t", at + label.size());
    return report.substr(start, report.find_first_of(" \t\n", start) - start);
}

void reportBells(const char* what, const std::vector<double>& offsets) {
    if (offsets.empty()) {
        std::printf("bells %s: none\n", what);
        return;
    }
    std::printf("bells %s: %zu, offset from their second %s\n", what, offsets.size(), bench::offsetSummary(offsets).c_str());
}

} // namespace

int main() {
    if (run("command -v wrk").empty()) {
        std::printf("wrk is not installed (Debian package \"wrk\", see scripts/install-deps): nothing measured\n");
        return 0;
    }
    const fs::path scratch = fs::temp_directory_path() / ("tollwick-http-bench-" + std::to_string(::getpid()));
    bench::prepareBellScratch(scratch, RECORD_START_PROGRAM);
    const fs::path starts = scratch / "starts.txt";
    const auto first = std::chrono::system_clock::now() + std::chrono::seconds(5);
    const DB db = bench::writeBellDatabase(scratch, first, LESSONS);
    const std::size_t dbBytes = fs::file_size(scratch / "data" / "_db.json");

    const int port = 29000 + ::getpid() % 900;
    const pid_t server = bench::startBellServer(scratch, starts, port);
    httplib::Client probe("127.0.0.1", port);
    for (int i = 0; i < 100 && !probe.Get("/whoami"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::printf("database: %zu songs, %zu timetables, %zu programmes; /db answers %zu bytes\n", db.songs.size(),
                db.timetables.size(), db.programmes.size(), probe.Get("/db") ? probe.Get("/db")->body.size() : 0);
    std::printf("(_db.json %zu bytes); wrk -t2 -c8 for %d s per path\n", dbBytes, RUN_SECONDS);
    std::vector<std::pair<long long, long long>> loadWindows;
    for (const char* path : PATHS) {
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
        const long long from = micros(std::chrono::system_clock::now());
        const std::string report = run("wrk -t2 -c8 -d" + std::to_string(RUN_SECONDS) + "s --latency " + url + " 2>&1");
        loadWindows.emplace_back(from, micros(std::chrono::system_clock::now()));
        std::printf("%-20s %9s requests/s   latency p50 %8.2f ms   p99 %8.2f ms   non-2xx: %s\n", path,
                    after(report, "Requests/sec:").c_str(), milliseconds(after(report, " 50%", "Latency Distribution")),
                    milliseconds(after(report, " 99%", "Latency Distribution")),
                    report.find("Non-2xx") == std::string::npos ? "0"
                                                                : after(report, "Non-2xx or 3xx responses:").c_str());
    }
    std::this_thread::sleep_until(first + std::chrono::seconds(2 * LESSONS + 1));

    std::vector<std::vector<double>> loaded(PATHS.size());
    std::vector<double> idle;
    for (const long long us : bench::readBellStarts(starts)) {
        const double offset = bench::offsetFromSecondMs(us);
        const auto window = std::find_if(loadWindows.begin(), loadWindows.end(),
                                         [&](const auto& w) { return us >= w.first && us <= w.second; });
        (window == loadWindows.end() ? idle : loaded[static_cast<std::size_t>(window - loadWindows.begin())])
            .push_back(offset);
    }
    std::printf("bells expected: %d\n", 2 * LESSONS);
    for (std::size_t i = 0; i < PATHS.size(); ++i)
        reportBells((std::string("under load on ") + PATHS[i]).c_str(), loaded[i]);
    reportBells("without load", idle);

    bench::stopBellServer(server, scratch);
    return 0;
}
