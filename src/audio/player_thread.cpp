#include "audio/player_thread.h"

#include "audio/player_registry.h"
#include "audio/quick_end_watch.h"
#include "scheduling/clock.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>

namespace tollwick {

PlayerThread::PlayerThread(std::shared_ptr<PlayerRegistry> registry, const Clock& clock, PlayRequest request,
                           std::unique_ptr<FilePlayer> player, std::uint64_t serial,
                           std::shared_ptr<PlayObserver> observer)
    : DaemonThread("PlayerThread-" + std::to_string(serial)), _registry(std::move(registry)), _clock(clock),
      // Zero rounds play nothing, and have no file to look for.
      _paths(request.rounds == 0 ? std::vector<std::string>{} : std::move(request.paths)), _rounds(request.rounds),
      _delay(request.delay), _player(std::move(player)), _removeWhenDone(std::move(request.removeWhenDone)),
      _observer(std::move(observer)) {}

void PlayerThread::abortPlay() noexcept {
    _doAbort = true;
    _registry->wakeSleepers();
}

bool PlayerThread::morePlaysDue(std::uint64_t started) const noexcept {
    // Compared round by round, so that no product of the two can overflow; an endless repeat of an
    // empty queue ends like an empty queue.
    return _paths.empty() ? false : started / _paths.size() < _rounds;
}

void PlayerThread::run() {
    // However run() ends (done, a start failure, an error from the file player) the thread lets
    // go of its file player, so that no player program outlives it, deletes the files it was to
    // delete and leaves the registry.
    struct Ending {
        PlayerThread& thread;
        ~Ending() {
            thread._player.reset();
            thread.removeFilesWhenDone();
            thread._registry->_onThreadEnd(thread);
        }
    } ending{*this};

    std::string failure;
    PlayEnd end = PlayEnd::FAILED;
    try {
        end = playQueue(failure);
    } catch (const std::exception& e) {
        if (_observer)
            _observer->playEnded(PlayEnd::FAILED, e.what());
        throw;
    }
    if (_observer)
        _observer->playEnded(end, failure);
}

void PlayerThread::startFirstFileHere() noexcept {
    if (_paths.empty() || _doAbort || !morePlaysDue(0) || !_player->startsOnAnyThread())
        return;
    try {
        _firstStartedAt = _registry->now();
        _player->startPlay(_paths.front());
        _firstStartedMoment = _clock.preciseNow();
        _firstStart = FirstStart::STARTED;
    } catch (const std::exception& e) {
        _firstStart = FirstStart::FAILED;
        _firstFailure = "Failed to play the file: " + _paths.front() + " - " + e.what();
    } catch (...) {
        _firstStart = FirstStart::FAILED;
        _firstFailure = "Failed to play the file: " + _paths.front();
    }
}

bool PlayerThread::filesExist(std::string& failure) const {
    for (const std::string& path : _paths) {
        std::error_code unreadable;
        if (!std::filesystem::exists(path, unreadable)) {
            spdlog::error("ERROR: File does not exist: {}", path);
            failure = "File does not exist: " + path;
            return false;
        }
    }
    return true;
}

PlayEnd PlayerThread::playQueue(std::string& failure) {
    if (!filesExist(failure)) {
        // A first file started already is closed before a sound of it can be heard.
        if (_firstStart == FirstStart::STARTED) {
            try {
                _player->closeFile(true);
            } catch (const std::exception& e) {
                spdlog::error("Failed to close file: {} - {}", _paths.front(), e.what());
            }
        }
        return PlayEnd::FAILED;
    }
    if (_firstStart == FirstStart::STARTED) {
        logPlaying(_paths.front());
        reportStart(_firstStartedMoment);
    } else if (_firstStart == FirstStart::FAILED) {
        spdlog::error("{}", _firstFailure);
    }
    QuickEndWatch quickEnds;
    // Counts files started; 64 bits, since an endless repeat never stops counting.
    std::uint64_t i = 0;
    // A first file started before the thread ran is seen to even when an abort came meanwhile:
    // it is closed as aborted, or its failed start is reported as such.
    while (morePlaysDue(i) && (!_doAbort || (i == 0 && _firstStart != FirstStart::NOT_MADE))) {
        const std::string& path = _paths[i % _paths.size()];
        auto startedAt = _registry->now();
        bool started = false;
        if (i == 0 && _firstStart != FirstStart::NOT_MADE) {
            started = _firstStart == FirstStart::STARTED;
            failure = _firstFailure;
            startedAt = _firstStartedAt;
        } else {
            started = startOne(path, quickEnds.failing(), failure);
        }
        if (!started) {
            return PlayEnd::FAILED; // the rest of the queue is dropped
        }
        finishOne(path);
        ++i;
        double pause = _delay;
        if (_rounds == ENDLESS && !_doAbort) {
            const auto now = _registry->now();
            if (quickEnds.ended(path, now - startedAt, now)) {
                pause = std::max(std::chrono::duration<double>(QuickEndWatch::RETRY_PAUSE).count(), pause);
            }
        }
        if (morePlaysDue(i)) {
            _registry->sleepFor(std::chrono::duration<double>(pause), _doAbort);
        }
    }
    // Whatever is left undone, or a last file cut short, was stopped.
    return morePlaysDue(i) || _lastClosedAborted ? PlayEnd::STOPPED : PlayEnd::PLAYED;
}

void PlayerThread::onFinished() noexcept {
    // Only now, with its failure logged and isAlive() false, does the thread count as ended.
    _registry->threadEnded();
}

bool PlayerThread::startOne(const std::string& path, bool quiet, std::string& failure) {
    if (!quiet) {
        logPlaying(path);
    }
    try {
        _player->startPlay(path);
    } catch (const std::exception& e) {
        failure = "Failed to play the file: " + path + " - " + e.what();
        spdlog::error("{}", failure);
        return false;
    }
    reportStart(_clock.preciseNow());
    return true;
}

void PlayerThread::logPlaying(const std::string& path) const {
    spdlog::info("Playing: {} at {} {}", path, _clock.getDateString(), _clock.getTimeString());
}

void PlayerThread::reportStart(const LocalMoment& at) {
    if (!_startReported && _observer) {
        _startReported = true;
        _observer->playStarted(at);
    }
}

void PlayerThread::finishOne(const std::string& path) {
    constexpr std::chrono::duration<double> TICK(1.0 / TICKS_PER_SECOND);
    while (_player->isPlaying() && !_doAbort) {
        _registry->sleepFor(TICK, _doAbort);
    }
    _lastClosedAborted = _doAbort;
    try {
        _player->closeFile(_lastClosedAborted);
    } catch (const std::exception& e) {
        spdlog::error("Failed to close file: {} - {}", path, e.what());
    }
}

void PlayerThread::removeFilesWhenDone() noexcept {
    for (const std::string& path : _removeWhenDone) {
        std::error_code error;
        std::filesystem::remove(path, error);
        if (error) {
            try {
                spdlog::warn("Could not delete {} after playing it: {}", path, error.message());
            } catch (...) {
            }
        }
    }
}

} // namespace tollwick
