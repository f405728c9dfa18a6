#include "runtime/priority_mutex.h"

#include <pthread.h>
#include <system_error>

namespace tollwick {

struct PriorityInheritingMutex::Native {
    pthread_mutex_t mutex;
};

PriorityInheritingMutex::PriorityInheritingMutex() : _native(std::make_unique<Native>()) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    const int error = pthread_mutex_init(&_native->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot make a priority-inheriting mutex");
}

PriorityInheritingMutex::~PriorityInheritingMutex() {
    pthread_mutex_destroy(&_native->mutex);
}

void PriorityInheritingMutex::lock() {
    if (const int error = pthread_mutex_lock(&_native->mutex); error != 0)
        throw std::system_error(error, std::generic_category(), "cannot lock a mutex");
}

bool PriorityInheritingMutex::try_lock() noexcept {
    return pthread_mutex_trylock(&_native->mutex) == 0;
}

void PriorityInheritingMutex::unlock() noexcept {
    pthread_mutex_unlock(&_native->mutex);
}

} // namespace tollwick
