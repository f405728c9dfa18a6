#pragma once
// DaemonThread: the base of every thread the system starts. A daemon thread never keeps the
// process alive: the process ends (it is killed) whatever its daemon threads are doing. The system
// can still wait for the threads it asked to end (waitUntilEnded), when it is stopped in a test.
//
// Because nothing joins it, a daemon thread must own what it uses. The object is held by
// std::shared_ptr, and the running thread keeps its own reference until run() returns, so callers
// may drop theirs at any time. Whatever run() reaches beyond the object itself must be shared with
// it the same way, or outlive it by construction.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace tollwick {

class DaemonThread : public std::enable_shared_from_this<DaemonThread> {
public:
    DaemonThread(const DaemonThread&) = delete;
    DaemonThread& operator=(const DaemonThread&) = delete;
    virtual ~DaemonThread() = default;

    // Runs run() once on a new detached thread. The object must be owned by a std::shared_ptr.
    // Throws Error when the thread was started before, std::system_error when the platform cannot
    // create a thread; either way run() does not run.
    void start();

    // True from start() until run() has returned or failed.
    bool isAlive() const noexcept { return _alive.load(); }

    // Waits until run() has returned (or the thread never started); false when `timeout` passed
    // first. The thread touches nothing but its own object afterwards.
    bool waitUntilEnded(std::chrono::steady_clock::duration timeout) const;

    // The name this thread goes by in the log.
    const std::string& name() const noexcept { return _name; }

protected:
    explicit DaemonThread(std::string name = "DaemonThread") : _name(std::move(name)) {}

    // The thread's work. An exception that escapes it is logged at error level as
    // "Exception in thread <name>: <text>" and ends the thread; it never ends the process.
    virtual void run() = 0;

    // Called on the thread as its very last step, after run() and the logging of its failure and
    // once isAlive() is false. Whoever waits for the thread to end should be told here, since after
    // it the thread uses nothing but its own object.
    virtual void onFinished() noexcept {}

private:
    void runAndReport() noexcept;

    std::string _name;
    std::atomic<bool> _started{false};
    std::atomic<bool> _alive{false};
    mutable std::mutex _endMutex; // guards _ended
    mutable std::condition_variable _endedCv;
    bool _ended = false;
};

} // namespace tollwick
