#include "runtime/process_end.h"

#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace tollwick {

void killOwnProcess() noexcept {
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
}

void ignoreBrokenPipes() noexcept {
    std::signal(SIGPIPE, SIG_IGN);
}

namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

std::thread threadWithoutTerminationSignals(std::function<void()> body) {
    // A new thread starts with the signal mask of the thread that makes it.
    const sigset_t set = terminationSignals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &set, &before);
    try {
        std::thread thread(std::move(body));
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return thread;
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        throw;
    }
}

void onTerminationRequest(std::function<void()> beforeExit) {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr); // inherited by every thread started later
    std::thread([set, beforeExit = std::move(beforeExit)] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        try {
            beforeExit();
        } catch (...) {
        }
        // End the way the signal would have ended us, so the exit status tells what happened.
        std::signal(signal, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        ::raise(signal);
        ::_exit(128 + signal);
    }).detach();
}

} // namespace tollwick
