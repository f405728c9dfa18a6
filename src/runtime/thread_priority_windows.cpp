#include "runtime/thread_priority.h"

namespace tollwick {

int inheritedThreadNiceness() noexcept {
    return 0;
}

} // namespace tollwick
