#include "runtime/sized_thread.h"

#include <cerrno>
#include <cstdint>
#include <process.h>
#include <system_error>
#include <windows.h>

namespace tollwick {

struct SizedThread::Handle {
    HANDLE thread = nullptr;
};

namespace {

unsigned __stdcall runBody(void* argument) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return 0;
}

} // namespace

SizedThread::SizedThread(std::size_t stackBytes, std::function<void()> body) : _handle(std::make_unique<Handle>()) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    // The size reserves address space; pages are committed as the stack grows.
    const std::uintptr_t thread = _beginthreadex(nullptr, static_cast<unsigned>(stackBytes), runBody, owned.get(),
                                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == 0)
        throw std::system_error(errno, std::generic_category(), "A thread cannot be started");
    owned.release(); // the thread owns it now
    _handle->thread = reinterpret_cast<HANDLE>(thread);
}

SizedThread::SizedThread(SizedThread&& other) noexcept = default;

SizedThread::~SizedThread() = default;

void SizedThread::join() {
    if (_handle && _handle->thread) {
        ::WaitForSingleObject(_handle->thread, INFINITE);
        ::CloseHandle(_handle->thread);
        _handle->thread = nullptr;
    }
}

} // namespace tollwick
