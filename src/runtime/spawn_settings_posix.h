#pragma once
// Settings for starting another program with posix_spawn, with their clean-up tied to scope.
// Every child starts with every signal at its default disposition and none blocked: the HTTP
// server ignores SIGPIPE for the whole process and threads may block signals, and a child that
// inherited either could not be stopped or would not notice a closed reader.
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>

namespace tollwick {

class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawn_file_actions_init(&_actions);
        posix_spawnattr_init(&_attributes);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&_attributes, &all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&_attributes, &none);
        posix_spawnattr_setflags(&_attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
    ~SpawnSettings() {
        posix_spawnattr_destroy(&_attributes);
        posix_spawn_file_actions_destroy(&_actions);
    }

    // The child's descriptor `fd` opens `path` with `flags`.
    void open(int fd, const char* path, int flags) { posix_spawn_file_actions_addopen(&_actions, fd, path, flags, 0); }
    // The child's descriptor `to` is a copy of the parent's `from`.
    void duplicate(int from, int to) { posix_spawn_file_actions_adddup2(&_actions, from, to); }
    // Closes every descriptor above `fd` in the child, where the C library can.
    void closeAbove([[maybe_unused]] int fd) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        posix_spawn_file_actions_addclosefrom_np(&_actions, fd + 1);
#endif
    }

    // When the calling thread runs at a real-time policy, the child starts at the same policy and
    // priority, which a thread that resets its policy for what it starts would not pass on. Answers
    // whether it does.
    bool startAtCallersRealTimePriority() {
        const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        sched_param parameters{};
        if ((policy != SCHED_FIFO && policy != SCHED_RR) || sched_getparam(0, &parameters) != 0)
            return false;
        posix_spawnattr_setschedpolicy(&_attributes, policy);
        posix_spawnattr_setschedparam(&_attributes, &parameters);
        short flags = 0;
        posix_spawnattr_getflags(&_attributes, &flags);
        posix_spawnattr_setflags(&_attributes, static_cast<short>(flags | POSIX_SPAWN_SETSCHEDULER));
        return true;
    }

    const posix_spawn_file_actions_t* actions() const { return &_actions; }
    const posix_spawnattr_t* attributes() const { return &_attributes; }

private:
    posix_spawn_file_actions_t _actions{};
    posix_spawnattr_t _attributes{};
};

} // namespace tollwick
