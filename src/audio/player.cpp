#include "audio/player.h"

#include "audio/player_registry.h"

#include <spdlog/spdlog.h>

#include <filesystem>
#include <system_error>
#include <thread>

namespace tollwick {

namespace {

// Deletes files that were to go after a play that never started, without making the caller wait.
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

Player::Player(const Clock& clock, FilePlayerFactory factory)
    : _registry(std::make_shared<PlayerRegistry>()), _clock(clock), _factory(std::move(factory)) {}

Player::~Player() {
    // Aborted before they are woken, or a thread cut out of its pause would start another file.
    _registry->abortAllAndClear();
    _registry->close();
    _registry->waitUntilAllEnded();
}

std::shared_ptr<PlayerThread> Player::playFiles(std::vector<std::string> paths, double delay, bool infiniteRepeat,
                                                std::vector<std::string> removeWhenDone,
                                                std::shared_ptr<PlayObserver> observer) {
    return startThread(std::move(paths), 1, delay, infiniteRepeat, std::move(removeWhenDone), std::move(observer));
}

std::shared_ptr<PlayerThread> Player::playFilesRepeated(std::vector<std::string> paths, std::uint64_t rounds,
                                                        double delay, std::shared_ptr<PlayObserver> observer) {
    if (rounds == 0) {
        paths.clear();
    }
    return startThread(std::move(paths), rounds, delay, false, {}, std::move(observer));
}

std::shared_ptr<PlayerThread> Player::startThread(std::vector<std::string> paths, std::uint64_t rounds, double delay,
                                                  bool infiniteRepeat, std::vector<std::string> removeWhenDone,
                                                  std::shared_ptr<PlayObserver> observer) {
    for (const std::string& path : paths) {
        std::error_code unreadable;
        if (!std::filesystem::exists(path, unreadable)) {
            spdlog::error("ERROR: File does not exist: {}", path);
            removeAside(std::move(removeWhenDone));
            if (observer) {
                observer->playEnded(PlayEnd::FAILED, "File does not exist: " + path);
            }
            return nullptr;
        }
    }
    std::shared_ptr<PlayerThread> thread(new PlayerThread(_registry, _clock, std::move(paths), rounds, delay,
                                                          infiniteRepeat, _factory(), _registry->nextSerial(),
                                                          std::move(removeWhenDone), observer));
    _registry->add(thread);
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
    return thread;
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

std::shared_ptr<PlayerThread> playAudioFile(Player& player, const std::string& path, int count, double delay,
                                            std::shared_ptr<PlayObserver> observer) {
    if (count == INFINITE_REPEAT) {
        return player.playFiles({path}, delay, true, {}, std::move(observer));
    }
    return player.playFilesRepeated({path}, count > 0 ? static_cast<std::uint64_t>(count) : 0, delay,
                                    std::move(observer));
}

std::shared_ptr<PlayerThread> playAudioQueue(Player& player, std::vector<std::string> paths, double delay,
                                             std::vector<std::string> removeWhenDone,
                                             std::shared_ptr<PlayObserver> observer) {
    return player.playFiles(std::move(paths), delay, false, std::move(removeWhenDone), std::move(observer));
}

void stopAllPlay(Player& player) {
    player.stopAll();
}

} // namespace tollwick
