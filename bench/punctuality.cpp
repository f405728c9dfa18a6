// Measures the real server: how close to their seconds the bells start, and what it costs to keep
// running. It starts build/tollwick-player on a free port with a scratch data directory holding the
// large database and a timetable whose lessons fall in the coming seconds; "mpg123" on PATH is a
// small program that records the moment it was started and exits. Beside the bells it prints
// what starting that program costs by itself, the floor under every bell's offset.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bell_server.h"
#include "model/json_text.h"
#include "model/local_time.h"
#include "scheduling/clock.h"

using namespace tollwick;
namespace fs = std::filesystem;

namespace {

constexpr int BELLS = 24;

long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return utime + stime;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("VmRSS:"))
            return std::atol(line.c_str() + 6);
    return -1;
}

} // namespace

int main() {
    const fs::path scratch = fs::temp_directory_path() / ("tollwick-bench-" + std::to_string(::getpid()));
    bench::prepareBellScratch(scratch, RECORD_START_PROGRAM);
    const fs::path starts = scratch / "starts.txt";
    const auto first = std::chrono::system_clock::now() + std::chrono::seconds(6);
    bench::writeBellDatabase(scratch, first, BELLS / 2);

    const int port = 28100 + ::getpid() % 800;
    const pid_t server = bench::startBellServer(scratch, starts, port);

    std::this_thread::sleep_until(first + std::chrono::seconds(BELLS / 2 * 2 + 1));
    std::vector<double> offsets;
    for (const long long us : bench::readBellStarts(starts))
        offsets.push_back(bench::offsetFromSecondMs(us));
    std::printf("bells: %zu of %d expected started\n", offsets.size(), BELLS);
    if (!offsets.empty())
        std::printf("offset of a bell's start from its second: %s\n", bench::offsetSummary(offsets).c_str());

    const std::vector<double> floor = bench::programStartDelays(RECORD_START_PROGRAM, scratch / "floor.txt", BELLS);
    if (!floor.empty())
        std::printf("starting the player program alone (posix_spawn to its main): %s\n",
                    bench::offsetSummary(floor).c_str());

    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const long before = cpuTicks(server);
    std::this_thread::sleep_for(std::chrono::seconds(30));
    const long after = cpuTicks(server);
    std::printf("idle CPU over 30 s with the large database: %.2f%% of one core\n",
                100.0 * static_cast<double>(after - before) / static_cast<double>(ticksPerSecond) / 30.0);
    std::printf("resident memory: %.1f MB\n", static_cast<double>(residentKiB(server)) / 1024.0);

    bench::stopBellServer(server, scratch);
    return 0;
}
