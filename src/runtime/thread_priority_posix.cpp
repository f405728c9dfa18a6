#include "runtime/thread_priority.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace tollwick {

int inheritedThreadNiceness() noexcept {
    // On Linux a thread has a nice value of its own, addressed by its thread id. -1 is a nice value
    // as well as the failure answer, so failure shows only in errno.
    errno = 0;
    const int niceness = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    return errno == 0 ? niceness : 0;
}

} // namespace tollwick
