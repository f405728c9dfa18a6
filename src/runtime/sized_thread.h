#pragma once
// A joinable thread with a stack of a size the caller chooses, where the platform's default would
// not do: threads get 2 MiB on Windows, and on Linux whatever the stack limit of the process says
// (2 MiB when it is "unlimited").
#include <cstddef>
#include <functional>
#include <memory>

namespace tollwick {

class SizedThread {
public:
    // Runs `body` on a new thread with a stack of at least `stackBytes`. std::system_error when the
    // platform cannot make the thread.
    SizedThread(std::size_t stackBytes, std::function<void()> body);
    SizedThread(SizedThread&& other) noexcept;
    SizedThread& operator=(SizedThread&&) = delete;
    SizedThread(const SizedThread&) = delete;
    SizedThread& operator=(const SizedThread&) = delete;
    // The thread must have been joined.
    ~SizedThread();

    // Waits until the thread has ended.
    void join();

private:
    struct Handle;
    std::unique_ptr<Handle> _handle;
};

} // namespace tollwick
