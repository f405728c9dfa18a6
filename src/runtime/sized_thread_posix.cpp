#include "runtime/sized_thread.h"

#include <pthread.h>
#include <system_error>

namespace tollwick {

struct SizedThread::Handle {
    pthread_t thread{};
    bool joined = false;
};

namespace {

void* runBody(void* argument) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

} // namespace

SizedThread::SizedThread(std::size_t stackBytes, std::function<void()> body) : _handle(std::make_unique<Handle>()) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const int error = pthread_create(&_handle->thread, &attributes, runBody, owned.get());
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "A thread cannot be started");
    owned.release(); // the thread owns it now
}

SizedThread::SizedThread(SizedThread&& other) noexcept = default;

SizedThread::~SizedThread() = default;

void SizedThread::join() {
    if (_handle && !_handle->joined) {
        pthread_join(_handle->thread, nullptr);
        _handle->joined = true;
    }
}

} // namespace tollwick
