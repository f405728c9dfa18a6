#include "runtime/thread_name.h"

#include <algorithm>

#include <pthread.h>

namespace tollwick {

void nameThisThread(const std::string& name) noexcept {
    // Linux keeps 15 bytes and refuses a longer name outright.
    char kept[16] = {};
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 15), kept);
    pthread_setname_np(pthread_self(), kept);
}

} // namespace tollwick
