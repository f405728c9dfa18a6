#include "audio/linux_file_player.h"
#include "runtime/spawn_settings_posix.h"

#include "audio/audio_length.h"
#include "runtime/errors.h"
#include "runtime/paths.h"

#include <spdlog/spdlog.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tollwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

// How often a terminated child is checked for its exit while it is given time to go.
constexpr auto EXIT_POLL_INTERVAL = std::chrono::milliseconds(10);

// Player programs talk on standard error about every file they play. A child that outlives its
// parent's intent (a hung player) must not keep the server's listening socket or a document being
// written open with it.
class PlayerSpawnSettings : public SpawnSettings {
public:
    PlayerSpawnSettings() {
        open(STDERR_FILENO, "/dev/null", O_WRONLY);
        closeAbove(STDERR_FILENO);
    }
};

// The program that plays files with this extension (lower case, without the dot).
const char* programFor(const std::string& extension) {
    if (extension == "mp3") {
        return "mpg123";
    }
    if (extension == "wav") {
        return "aplay";
    }
    return nullptr;
}

} // namespace

LinuxFilePlayer::~LinuxFilePlayer() {
    if (childRunning()) {
        stopChild();
    }
}

void LinuxFilePlayer::startPlay(const std::string& path) {
    const std::string extension = getFileNameAndExtension(path).second;
    const char* program = programFor(extension);
    if (program == nullptr) {
        throw Error("Unsupported file format: " + (extension.empty() ? std::string() : "." + extension));
    }
    if (childRunning()) {
        stopChild();
    }
    // The programs would read a leading "-" as the start of an option.
    const std::string argument = path.starts_with('-') ? "./" + path : path;
    char* const arguments[] = {const_cast<char*>(program), const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = 0;
    int error = 0;
    bool realTime = false;
    {
        PlayerSpawnSettings settings;
        realTime = settings.startAtCallersRealTimePriority();
        error = posix_spawnp(&pid, program, settings.actions(), settings.attributes(), arguments, environ);
    }
    if (error != 0) {
        throw Error(std::string("cannot start ") + program + ": " + std::strerror(error));
    }
    _pid = pid;
    _reaped = false;
    _program = program;
    _path = path;
    _started = SteadyClock::now();
    _deadlineSet = false;
    _realTime = realTime;
}

bool LinuxFilePlayer::isPlaying() {
    if (!childRunning() || pollExit()) {
        return false;
    }
    if (_realTime && SteadyClock::now() - _started >= _limits.realTimeStart) {
        // The child is not reaped yet, so its process id is still its own.
        const sched_param normal{};
        ::sched_setscheduler(_pid, SCHED_OTHER, &normal);
        _realTime = false;
    }
    if (!_deadlineSet) {
        // Measured after the start, by the playing thread: a long file's scan delays neither its
        // sound nor whoever started it.
        const double seconds = getAudioSeconds(_path);
        _deadline =
            _started + (seconds >= 0 ? std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds)) +
                                           _limits.graceAfterLength
                                     : _limits.unknownLength);
        _deadlineSet = true;
    }
    if (SteadyClock::now() < _deadline) {
        return true;
    }
    const double ranSeconds = std::chrono::duration<double>(SteadyClock::now() - _started).count();
    spdlog::error("Killed {} playing {}: still running {:.1f} s after it started, longer than the file lasts", _program,
                  _path, ranSeconds);
    killAndReap();
    return false;
}

void LinuxFilePlayer::closeFile(bool wasAborted) {
    if (wasAborted && childRunning()) {
        stopChild();
    }
}

bool LinuxFilePlayer::pollExit() {
    int status = 0;
    pid_t result = 0;
    do {
        result = waitpid(_pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
        return false;
    }
    // Either reaped now or (ECHILD) no longer ours to wait for; it is gone either way.
    _reaped = true;
    return true;
}

void LinuxFilePlayer::killAndReap() {
    kill(_pid, SIGKILL);
    int status = 0;
    while (waitpid(_pid, &status, 0) < 0 && errno == EINTR) {
    }
    _reaped = true;
}

void LinuxFilePlayer::stopChild() {
    kill(_pid, SIGTERM);
    const auto giveUp = SteadyClock::now() + _limits.graceAfterTerminate;
    while (!pollExit()) {
        if (SteadyClock::now() >= giveUp) {
            spdlog::error("Killed {} playing {}: it did not exit after the termination signal", _program, _path);
            killAndReap();
            return;
        }
        std::this_thread::sleep_for(EXIT_POLL_INTERVAL);
    }
}

} // namespace tollwick
