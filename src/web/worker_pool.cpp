#include "web/worker_pool.h"

#include <spdlog/spdlog.h>

namespace tollwick::web {

WorkerPool::WorkerPool(std::size_t threads) {
    _threads.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i)
        _threads.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    shutdown();
}

void WorkerPool::enqueue(std::function<void()> task) {
    {
        std::scoped_lock lock(_mutex);
        _tasks.push_back(std::move(task));
    }
    _ready.notify_one();
}

void WorkerPool::shutdown() {
    {
        std::scoped_lock lock(_mutex);
        _stopping = true;
    }
    _ready.notify_all();
    for (std::thread& thread : _threads)
        if (thread.joinable())
            thread.join();
}

void WorkerPool::work() {
    lowerCurrentThreadPriority();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(_mutex);
            _ready.wait(lock, [this] { return _stopping || !_tasks.empty(); });
            if (_tasks.empty())
                return;
            task = std::move(_tasks.front());
            _tasks.pop_front();
        }
        // A connection's handlers catch their own errors; anything else must not end the worker.
        try {
            task();
        } catch (const std::exception& e) {
            spdlog::error("HTTP worker error: {}", e.what());
        } catch (...) {
            spdlog::error("HTTP worker error");
        }
    }
}

} // namespace tollwick::web
