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

void onTerminationRequest(std::function<void()> beforeExit) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
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
