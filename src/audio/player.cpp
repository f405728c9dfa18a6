#include "audio/player.h"

#include "audio/player_registry.h"
#include "runtime/process_end.h"
#include "runtime/thread_priority.h"

#include <spdlog/spdlog.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

namespace tollwick {

namespace {

// Deletes files that were to go after a play that was refused, without making the caller (the
// scheduler, perhaps) touch a disk.
void removeAside(std::vector<std::string> files) {
    if (files.empty()) {
        return;
    }
    std::thread([files = std::move(files)] {
        for (const std::string& file : files) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
    }).detach();
}

} // namespace

class Player::Starter {
public:
    using Job = std::packaged_task<Started()>;

    // Made with the Player, which start-up makes before it takes over the termination signals.
    Starter() : _thread(threadWithoutTerminationSignals([this] { serve(); })) {}
    Starter(const Starter&) = delete;
    Starter& operator=(const Starter&) = delete;
    ~Starter() {
        {
            std::scoped_lock lock(_mutex);
            _stopping = true;
        }
        _wake.notify_all();
        _thread.join();
    }

    // Runs `job` on the starter's thread and answers its result, or throws what it threw.
    Started run(Job job) {
        std::future<Started> result = job.get_future();
        {
            std::scoped_lock lock(_mutex);
            _jobs.push_back(std::move(job));
        }
        _wake.notify_all();
        return result.get();
    }

private:
    void serve() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(_mutex);
                _wake.wait(lock, [this] { return _stopping || !_jobs.empty(); });
                if (_jobs.empty())
                    return;
                job = std::move(_jobs.front());
                _jobs.pop_front();
            }
            job();
        }
    }

    std::mutex _mutex; // guards _jobs and _stopping
    std::condition_variable _wake;
    std::deque<Job> _jobs;
    bool _stopping = false;
    std::thread _thread; // last: it runs serve() as soon as it exists
};

Player::Player(const Clock& clock, FilePlayerFactory factory, std::shared_ptr<PauseClock> pauses)
    : _registry(std::make_shared<PlayerRegistry>(std::move(pauses))), _clock(clock), _factory(std::move(factory)),
      _niceness(inheritedThreadNiceness()), _starter(std::make_unique<Starter>()) {}

Player::~Player() {
    // Aborted before they are woken, or a thread cut out of its pause would start another file.
    _registry->abortAllAndClear();
    _registry->close();
    _registry->waitUntilAllEnded();
}

std::shared_ptr<PlayerThread> Player::play(PlayRequest request, std::shared_ptr<PlayObserver> observer,
                                           PlayPriority priority) {
    const auto start = [&] { return startThreadHere(std::move(request), std::move(observer), priority); };
    Started started = inheritedThreadNiceness() > _niceness ? _starter->run(Starter::Job(start)) : start();
    if (started.refused) {
        throw TooManyPlaysError();
    }
    return std::move(started.thread);
}

Player::Started Player::startThreadHere(PlayRequest request, std::shared_ptr<PlayObserver> observer,
                                        PlayPriority priority) {
    std::shared_ptr<PlayerThread> thread(
        new PlayerThread(_registry, _clock, std::move(request), _factory(), _registry->nextSerial(), observer));
    if (!_registry->add(thread, priority, MAX_PLAYS_IN_PROGRESS)) {
        removeAside(thread->_removeWhenDone);
        if (observer) {
            observer->playEnded(PlayEnd::REFUSED, TOO_MANY_PLAYS_REASON);
        }
        return {nullptr, true};
    }
    thread->startFirstFileHere();
    try {
        thread->start();
    } catch (const std::exception& e) {
        _registry->_onThreadEnd(*thread);
        _registry->threadEnded();
        if (observer) {
            observer->playEnded(PlayEnd::FAILED, std::string("No playing thread could be started: ") + e.what());
        }
        throw;
    }
    return {std::move(thread)};
}

void Player::stopAll() {
    _registry->abortAllAndClear();
}

bool Player::isPlaying() const {
    return _registry->hasThreads();
}

bool Player::waitUntilAllEnded(std::chrono::steady_clock::duration timeout) const {
    return _registry->waitUntilAllEnded(timeout);
}

} // namespace tollwick
