#include <windows.h>

#include "web/http/worker_priority.h"

namespace tollwick::web {

// One step below normal: the scheduler and the playing threads, at normal priority, always run
// first when both want the processor.
void lowerCurrentThreadPriority() noexcept {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace tollwick::web
