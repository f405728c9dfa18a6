#include "runtime/daemon_thread.h"

#include "runtime/errors.h"
#include "runtime/thread_name.h"

#include <spdlog/spdlog.h>

#include <exception>
#include <thread>

namespace tollwick {

void DaemonThread::start() {
    if (_started.exchange(true)) {
        throw Error("Thread " + _name + " can only be started once");
    }
    // Taken before the thread exists, so that the object cannot die between start() returning and
    // the new thread first touching it.
    std::shared_ptr<DaemonThread> self = shared_from_this();
    _alive = true;
    try {
        std::thread([self = std::move(self)] { self->runAndReport(); }).detach();
    } catch (...) {
        _alive = false;
        {
            std::scoped_lock lock(_endMutex);
            _ended = true; // it never ran, so there is nothing to wait for
        }
        throw;
    }
}

void DaemonThread::runAndReport() noexcept {
    nameThisThread(_name);
    try {
        run();
    } catch (const std::exception& e) {
        spdlog::error("Exception in thread {}: {}", _name, e.what());
    } catch (...) {
        spdlog::error("Exception in thread {}: unknown error", _name);
    }
    _alive = false;
    onFinished();
    {
        std::scoped_lock lock(_endMutex);
        _ended = true;
    }
    _endedCv.notify_all();
}

bool DaemonThread::waitUntilEnded(std::chrono::steady_clock::duration timeout) const {
    std::unique_lock lock(_endMutex);
    return _endedCv.wait_for(lock, timeout, [this] { return _ended || !_started.load(); });
}

} // namespace tollwick
