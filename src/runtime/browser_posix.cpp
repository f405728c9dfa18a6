#include "runtime/browser.h"

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
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        std::string program = "xdg-open";
        char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
        pid_t pid = 0;
        const int error = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
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
