#include "runtime/thread_priority.h"

#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tollwick {
namespace {

// Low among the real-time priorities (1 to 99): above every normal thread, below the kernel's
// interrupt threads and the sound servers, which must not wait for a bell.
constexpr int TIME_CRITICAL_PRIORITY = 10;

bool takeRealTimePriority(int priority) noexcept {
    sched_param parameters{};
    parameters.sched_priority = priority;
    // On Linux the call addresses the calling thread alone. With SCHED_RESET_ON_FORK the threads
    // and processes it makes start at the normal policy, so no player program or helper thread
    // ever runs at real-time priority by inheritance.
    return ::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameters) == 0;
}

} // namespace

int inheritedThreadNiceness() noexcept {
    // On Linux a thread has a nice value of its own, addressed by its thread id. -1 is a nice value
    // as well as the failure answer, so failure shows only in errno.
    errno = 0;
    const int niceness = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    return errno == 0 ? niceness : 0;
}

bool raiseToTimeCriticalPriority() noexcept {
    if (takeRealTimePriority(TIME_CRITICAL_PRIORITY))
        return true;
    // Without the privilege a process may still take real-time priorities up to its limit, which
    // the system service sets (LimitRTPRIO).
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur == 0 || limit.rlim_cur >= TIME_CRITICAL_PRIORITY)
        return false;
    return takeRealTimePriority(static_cast<int>(limit.rlim_cur));
}

} // namespace tollwick
