#include "runtime/thread_priority.h"

#include <windows.h>

namespace tollwick {

int inheritedThreadNiceness() noexcept {
    return 0;
}

// Every new thread on Windows starts at normal priority and a child process takes the priority
// class of the process, so nothing inherits this.
bool raiseToTimeCriticalPriority() noexcept {
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}

} // namespace tollwick
