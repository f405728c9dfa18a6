#pragma once
// The threads that serve HTTP connections. They run below the normal priority, so that on a busy
// machine the scheduler and the playing threads are never kept from the processor by requests:
// a bell is on time however hard the interface is used.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace tollwick::web {

// Lowers the calling thread's priority below that of the system's other threads.
void lowerCurrentThreadPriority() noexcept;

class WorkerPool : public httplib::TaskQueue {
public:
    explicit WorkerPool(std::size_t threads);
    ~WorkerPool() override;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Connections wait here while every worker is busy.
    void enqueue(std::function<void()> task) override;
    // Lets the workers finish what is queued, then joins them.
    void shutdown() override;

private:
    void work();

    std::mutex _mutex; // guards _tasks and _stopping
    std::condition_variable _ready;
    std::deque<std::function<void()>> _tasks;
    bool _stopping = false;
    std::vector<std::thread> _threads;
};

} // namespace tollwick::web
