// Measures the web back end under load and the bells' punctuality meanwhile. The real server runs
// with the large database; "mpg123" on PATH is a small program that records the moment it was
// started, and a timetable of one-second lessons rings a bell in every second. One after another,
// for RUN_SECONDS each: no load; wrk on "/api/get/overview", "/api/get/status" and "/db"; and
// uploads of a 100 MiB WAVE file, one after the other, each deleted again. For every case it
// prints the requests' rate and latency percentiles and the bells' offsets from their seconds,
// beside those of the no-load case of the same run. Without wrk (a Debian package, installed by
// scripts/install-deps) it says so and measures nothing. First it prints what starting the
// player program at normal priority costs by itself on this machine; then, for every case, the
// same under that case's load, measured between the bells. Where the server may take a real-time
// priority (as root), its bells start at it and may beat that figure under load.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "bell_server.h"
#include "model/json_text.h"

using namespace tollwick;
namespace fs = std::filesystem;
using SystemTime = std::chrono::system_clock::time_point;

namespace {

constexpr int RUN_SECONDS = 22; // at least 20 bells per case
constexpr std::array<const char*, 3> WRK_PATHS{"/api/get/overview", "/api/get/status", "/db"};
constexpr int CASES = 2 + static_cast<int>(WRK_PATHS.size()); // no load, the wrk paths, uploads
// Bells every second from a few seconds after start until after the last case.
constexpr int LESSONS = (CASES * (RUN_SECONDS + 2) + 16) / 2;
constexpr std::size_t UPLOAD_BYTES = 100 * 1024 * 1024;

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

void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A playable WAVE file of `bytes` bytes: silence, 44.1 kHz, 16-bit stereo (about ten minutes).
std::string silentWave(std::size_t bytes) {
    const auto dataBytes = static_cast<std::uint32_t>(bytes - 44);
    std::string wave = "RIFF";
    putLittleEndian(wave, 36 + dataBytes, 4);
    wave += "WAVEfmt ";
    for (const auto& [value, size] :
         {std::pair{16u, 4}, {1u, 2}, {2u, 2}, {44100u, 4}, {44100u * 4, 4}, {4u, 2}, {16u, 2}})
        putLittleEndian(wave, value, size);
    wave += "data";
    putLittleEndian(wave, dataBytes, 4);
    wave.resize(bytes, '\0');
    return wave;
}

struct Case {
    std::string name;
    long long from = 0, to = 0; // the load's window, in microseconds since the epoch
    std::string requests;       // what the load achieved
    std::vector<double> bells;  // offsets from their seconds, ms
    std::vector<double> floor;  // the player program started alone meanwhile, ms
};

// Uploads the wave again and again until `seconds` passed, deleting each upload at once.
std::string uploadFor(int port, int seconds) {
    const std::string wave = silentWave(UPLOAD_BYTES);
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(60));
    client.set_write_timeout(std::chrono::seconds(60));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int done = 0, failed = 0;
    std::vector<double> times;
    while (std::chrono::steady_clock::now() < end) {
        const auto start = std::chrono::steady_clock::now();
        const auto answer = client.Post("/upload", {{"file", wave, "big.wav", "audio/wav"}});
        if (!answer || answer->status != 200) {
            ++failed;
            continue;
        }
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        ++done;
        const std::string key = parseJsonText(answer->body).get<std::string>();
        client.Get("/api/trigger/deleteSignal/" + key);
    }
    std::sort(times.begin(), times.end());
    char text[160];
    std::snprintf(text, sizeof text, "%d uploads of 100 MiB (median %.2f s each), %d failed", done,
                  times.empty() ? 0.0 : times[times.size() / 2], failed);
    return text;
}

std::string wrkFor(int port, const char* path, int seconds) {
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
    const std::string report = run("wrk -t2 -c8 -d" + std::to_string(seconds) + "s --latency " + url + " 2>&1");
    char text[200];
    std::snprintf(text, sizeof text, "%s requests/s, latency p50 %.2f ms, p99 %.2f ms, non-2xx %s",
                  after(report, "Requests/sec:").c_str(), milliseconds(after(report, " 50%", "Latency Distribution")),
                  milliseconds(after(report, " 99%", "Latency Distribution")),
                  report.find("Non-2xx") == std::string::npos ? "0"
                                                              : after(report, "Non-2xx or 3xx responses:").c_str());
    return text;
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
    const std::vector<double> floor = bench::programStartDelays(RECORD_START_PROGRAM, scratch / "floor.txt", 24);
    const auto first = std::chrono::system_clock::now() + std::chrono::seconds(5);
    const DB db = bench::writeBellDatabase(scratch, first, LESSONS);
    const std::size_t dbBytes = fs::file_size(scratch / "data" / "_db.json");

    const int port = 29000 + ::getpid() % 900;
    const pid_t server = bench::startBellServer(scratch, starts, port);
    httplib::Client probe("127.0.0.1", port);
    for (int i = 0; i < 100 && !probe.Get("/whoami"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::printf("database: %zu songs, %zu timetables, %zu programmes; /db answers %zu bytes (_db.json %zu bytes)\n",
                db.songs.size(), db.timetables.size(), db.programmes.size(),
                probe.Get("/db") ? probe.Get("/db")->body.size() : 0, dbBytes);
    std::printf("each case %d s with a bell every second; wrk -t2 -c8\n", RUN_SECONDS);
    if (!floor.empty())
        std::printf("starting the player program alone, before the server ran (posix_spawn to its main): %s\n",
                    bench::offsetSummary(floor).c_str());
    std::this_thread::sleep_until(first);

    std::vector<Case> cases;
    const auto measure = [&](std::string name, auto&& load) {
        Case c{std::move(name)};
        c.from = micros(std::chrono::system_clock::now());
        // The player started alone under this load, half a second after each second,
        // between the bells.
        std::thread floorMeanwhile([&, file = scratch / ("floor-" + std::to_string(cases.size()) + ".txt")] {
            c.floor = bench::programStartDelays(RECORD_START_PROGRAM, file, RUN_SECONDS - 2, true);
        });
        c.requests = load();
        floorMeanwhile.join();
        c.to = micros(std::chrono::system_clock::now());
        cases.push_back(std::move(c));
        std::this_thread::sleep_for(std::chrono::seconds(2)); // lets the last requests and bells settle
    };
    measure("no load", [] {
        std::this_thread::sleep_for(std::chrono::seconds(RUN_SECONDS));
        return std::string("-");
    });
    for (const char* path : WRK_PATHS)
        measure(std::string("wrk ") + path, [&] { return wrkFor(port, path, RUN_SECONDS); });
    measure("100 MiB uploads", [&] { return uploadFor(port, RUN_SECONDS); });
    std::this_thread::sleep_for(std::chrono::seconds(1));

    for (const long long us : bench::readBellStarts(starts))
        for (Case& c : cases)
            if (us >= c.from && us <= c.to)
                c.bells.push_back(bench::offsetFromSecondMs(us));

    const Case& idle = cases.front();
    const std::string idleSummary = idle.bells.empty() ? "none" : bench::offsetSummary(idle.bells);
    for (const Case& c : cases) {
        std::printf("\n%s: %s\n", c.name.c_str(), c.requests.c_str());
        std::printf("  bells: %2zu, offset from their second %s\n", c.bells.size(),
                    c.bells.empty() ? "none" : bench::offsetSummary(c.bells).c_str());
        std::printf("  the player program started alone meanwhile: %2zu, %s\n", c.floor.size(),
                    c.floor.empty() ? "none" : bench::offsetSummary(c.floor).c_str());
        if (&c != &idle)
            std::printf("  no load in the same run: %2zu, %s\n", idle.bells.size(), idleSummary.c_str());
    }

    bench::stopBellServer(server, scratch);
    return 0;
}
