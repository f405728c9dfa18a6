#include "runtime/browser.h"
#include "runtime/spawn_settings_posix.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <spdlog/spdlog.h>

extern char** environ;

namespace tollwick {

void openUrlInBrowser(const std::string& url) noexcept {
    try {
        SpawnSettings settings;
        settings.open(STDIN_FILENO, "/dev/null", O_RDONLY);
        settings.open(STDOUT_FILENO, "/dev/null", O_WRONLY);
        settings.open(STDERR_FILENO, "/dev/null", O_WRONLY);
        std::string program = "xdg-open";
        char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
        pid_t pid = 0;
        const int error = posix_spawnp(&pid, program.c_str(), settings.actions(), settings.attributes(), argv, environ);
        if (error != 0) {
            spdlog::warn("Could not open a browser on {}: xdg-open could not be started", url);
            return;
        }
        // Reaped on a thread of its own: the browser launcher may take its time.
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        spdlog::warn("Could not open a browser on {}", url);
    }
}

} // namespace tollwick
