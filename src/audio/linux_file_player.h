#pragma once
// LinuxFilePlayer: plays a file by running a player program as a child process, `mpg123` for
// MPEG audio and `aplay` for WAVE, each looked up on PATH.
//
// A player program can hang: with no usable audio device mpg123 falls through its output modules,
// spins at full CPU and ignores SIGTERM. So the player watches its child. A child still running
// well after its file should have ended is killed with SIGKILL and logged as an error; an aborted
// child that has not exited soon after SIGTERM is killed the same way. Either way it then counts
// as ended, so the playing thread goes on as after a normal end. Every child is reaped.
#include "audio/file_player.h"

#include <chrono>
#include <string>
#include <sys/types.h>

namespace tollwick {

class LinuxFilePlayer : public FilePlayer {
public:
    using Duration = std::chrono::steady_clock::duration;

    struct Limits {
        // How long a child may run beyond its file's playing time before it counts as hung.
        Duration graceAfterLength = std::chrono::seconds(5);
        // How long a child may run when the file's playing time cannot be measured.
        Duration unknownLength = std::chrono::minutes(15);
        // How long an aborted child has to exit after SIGTERM.
        Duration graceAfterTerminate = std::chrono::seconds(1);
        // How long a child started by a thread at a real-time priority (the scheduler's, for a
        // bell) keeps that priority: long enough to load, open the sound device and send out its
        // first sound ahead of every busy program; short enough that a child that hangs spinning
        // takes a processor from the others only for a moment.
        Duration realTimeStart = std::chrono::milliseconds(100);
    };

    LinuxFilePlayer() : LinuxFilePlayer(Limits{}) {}
    explicit LinuxFilePlayer(Limits limits) : _limits(limits) {}
    // A child still running is stopped as by an abort, and reaped.
    ~LinuxFilePlayer() override;

    // Starts `mpg123 <path>` when the file's extension is ".mp3" and `aplay <path>` when it is
    // ".wav" (in any case), with standard error on the null device, standard input and output
    // inherited, every signal at its default disposition and none blocked. Throws Error
    // "Unsupported file format: <extension>" (the extension with its dot, lower case, empty when
    // there is none) for other names, and an Error naming the program when it cannot be started.
    // A child left from an earlier file is stopped first. A child started by a thread at a
    // real-time priority starts at that priority and runs at the normal one from the first
    // isPlaying() after realTimeStart.
    void startPlay(const std::string& path) override;

    // Tests without waiting whether the child has exited, and reaps it when it has. A child that
    // has outrun its limit is killed and reaped here, and the answer is false. The first call
    // after a start measures the file's playing time for that limit.
    bool isPlaying() override;

    // When `wasAborted` is true and the child has not been seen to exit: sends it SIGTERM, gives it
    // graceAfterTerminate to exit, then SIGKILL; reaps it. Otherwise does nothing: after a natural
    // end isPlaying has already reaped the child, and no signal is sent to its reused process id.
    void closeFile(bool wasAborted) override;

    // The child is watched through its process id, which any thread of this process may do.
    bool startsOnAnyThread() const noexcept override { return true; }

    // The process id of the current or last child, 0 before the first start. For diagnostics.
    pid_t childPid() const noexcept { return _pid; }

private:
    bool childRunning() const noexcept { return _pid > 0 && !_reaped; }
    bool pollExit();
    void killAndReap();
    void stopChild();

    Limits _limits;
    pid_t _pid = 0;
    bool _reaped = true;
    const char* _program = "";
    std::string _path;
    std::chrono::steady_clock::time_point _started;
    std::chrono::steady_clock::time_point _deadline; // set by the first isPlaying after a start
    bool _deadlineSet = false;
    bool _realTime = false; // the child still runs at the real-time priority it started with
};

} // namespace tollwick
