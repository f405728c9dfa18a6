#pragma once
// The real tollwick-player, started by end-to-end tests on a free port with its own data directory.
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tollwick::test {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int freePort();

// The built server program.
std::filesystem::path serverProgram();

class ServerProcess {
public:
    // Starts the program with `args`; its standard error goes to a file. The environment is this
    // process's, with `env` entries ("NAME=value") added or replaced.
    // With `honourFileModes` (and this process running as root) the program runs without root's
    // power to read and write past a file's mode bits, so a file can be made unreadable for it.
    // `stackBytes`, when not 0, limits its stack (and so its threads' default stack) as `ulimit -s` does.
    ServerProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                  const std::filesystem::path& logFile, bool honourFileModes = false, std::size_t stackBytes = 0);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Waits until /whoami answers on `port`; false when the process ended or 10 s passed.
    bool waitUntilServing(int port);
    // Waits for the process to end on its own (up to `seconds`); its wait status, or -1.
    int waitForExit(int seconds);
    void signal(int sig);
    std::string log() const;
    pid_t pid() const { return _pid; }

private:
    pid_t _pid = -1;
    bool _reaped = false;
    std::filesystem::path _logFile;
};

// Runs the program to its end (up to 20 s) and answers its exit code, or minus the signal number.
int runServerToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const std::filesystem::path& logFile, bool honourFileModes = false);

// Makes `file` unreadable for a server started with `honourFileModes`: no permissions at all.
void makeUnreadableForServer(const std::filesystem::path& file);

// The process's memory figures from /proc/<pid>/status, in KiB ("VmRSS", "VmHWM"); -1 when unknown.
long memoryKiB(pid_t pid, const std::string& field);

} // namespace tollwick::test
