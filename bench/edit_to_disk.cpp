// Measures how soon an edit reaches the disk: the real server with the large database takes a
// settings change, and the time from its answer to "_db.json" holding the change is taken for
// each of EDITS edits. The file is watched by its inode, which every crash-safe write replaces.
// Beside it, the disk's own share: a crash-safe write of the same text in the same directory,
// timed right after each edit.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <httplib.h>

#include "bell_server.h"
#include "storage/atomic_file.h"

using namespace tollwick;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int EDITS = 30;

ino_t inodeOf(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

int main() {
    const fs::path scratch = fs::temp_directory_path() / ("tollwick-edit-bench-" + std::to_string(::getpid()));
    bench::prepareBellScratch(scratch, RECORD_START_PROGRAM);
    bench::writeBellDatabase(scratch, std::chrono::system_clock::now(), 0);
    const fs::path file = scratch / "data" / "_db.json";
    const int port = 30000 + ::getpid() % 900;
    const pid_t server = bench::startBellServer(scratch, scratch / "starts.txt", port);
    httplib::Client client("127.0.0.1", port);
    for (int i = 0; i < 100 && !client.Get("/whoami"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::vector<double> ms, diskMs;
    int missed = 0;
    for (int i = 1; i <= EDITS; ++i) {
        const std::string value = std::to_string(i) + ".25";
        const ino_t before = inodeOf(file);
        const auto answer =
            client.Post("/db/settings/update", "{\"alarmDelaySec\": " + value + "}", "application/json");
        const auto answered = Steady::now();
        if (!answer || answer->status != 200) {
            ++missed;
            continue;
        }
        const std::string wanted = "\"alarmDelaySec\": " + value + ",";
        bool seen = false;
        for (ino_t last = before; Steady::now() - answered < std::chrono::seconds(5);) {
            const ino_t now = inodeOf(file);
            if (now != last) {
                last = now;
                if (readWholeFile(file).value_or("").find(wanted) != std::string::npos) {
                    ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - answered).count());
                    seen = true;
                    break;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        missed += seen ? 0 : 1;
        const std::string text = readWholeFile(file).value_or("");
        const auto writeStart = Steady::now();
        writeFileAtomically(scratch / "data" / "same-size.json", text);
        diskMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - writeStart).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("edit to disk: %d settings changes of the large database (_db.json %ju bytes)\n", EDITS,
                static_cast<std::uintmax_t>(fs::file_size(file)));
    if (!ms.empty()) {
        std::printf("time from the edit's answer to the file on disk: %s; not seen within 5 s: %d\n",
                    bench::offsetSummary(ms).c_str(), missed);
        std::printf("the disk's own time for a crash-safe write of that file: %s\n",
                    bench::offsetSummary(diskMs).c_str());
    }
    bench::stopBellServer(server, scratch);
    return 0;
}
