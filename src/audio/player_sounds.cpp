#include "audio/player_sounds.h"

#include <algorithm>
#include <limits>

#include "audio/song_resolution.h"

namespace tollwick {

namespace {

struct ThreadHandle : PlayHandle {
    explicit ThreadHandle(std::shared_ptr<PlayerThread> thread) : thread(std::move(thread)) {}
    void abortPlay() override { thread->abortPlay(); }
    bool hasEnded() const override { return thread->isAborted() || !thread->isAlive(); }
    std::shared_ptr<PlayerThread> thread;
};

std::shared_ptr<PlayHandle> handleOf(std::shared_ptr<PlayerThread> thread) {
    return thread ? std::make_shared<ThreadHandle>(std::move(thread)) : nullptr;
}

} // namespace

std::shared_ptr<PlayHandle> PlayerSounds::playSongById(const DB& db, const std::string& id, long long count,
                                                       double delay) {
    const int bounded = static_cast<int>(
        std::clamp<long long>(count, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return handleOf(tollwick::playSongById(db, _player, id, bounded, delay));
}

std::shared_ptr<PlayHandle> PlayerSounds::playSongByDescriptor(const DB& db, const PlayDesc& desc) {
    return handleOf(tollwick::playSongByDescriptor(db, _player, desc));
}

std::shared_ptr<PlayHandle> PlayerSounds::playSongThenRemoveFile(const DB& db, const std::string& id) {
    return handleOf(tollwick::playSongThenRemoveFile(db, _player, id));
}

} // namespace tollwick
