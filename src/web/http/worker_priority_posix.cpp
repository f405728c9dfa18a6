#include <sys/resource.h>
#include <unistd.h>

#include "runtime/thread_priority.h"
#include "web/http/worker_priority.h"

namespace tollwick::web {

// On Linux a thread has a nice value of its own; 10 gives it about a tenth of the share of a
// thread at the normal 0 when both want the processor.
void lowerCurrentThreadPriority() noexcept {
    const int current = inheritedThreadNiceness();
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), current < 10 ? 10 : current);
}

} // namespace tollwick::web
