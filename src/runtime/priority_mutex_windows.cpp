#include "runtime/priority_mutex.h"

#include <mutex>

namespace tollwick {

struct PriorityInheritingMutex::Native {
    std::mutex mutex;
};

PriorityInheritingMutex::PriorityInheritingMutex() : _native(std::make_unique<Native>()) {}

PriorityInheritingMutex::~PriorityInheritingMutex() = default;

void PriorityInheritingMutex::lock() {
    _native->mutex.lock();
}

bool PriorityInheritingMutex::try_lock() noexcept {
    return _native->mutex.try_lock();
}

void PriorityInheritingMutex::unlock() noexcept {
    _native->mutex.unlock();
}

} // namespace tollwick
