#pragma once
// What the scheduler and the alarm need of the audio side: starting plays by song id and by play
// descriptor, and aborting a play. Implemented over the player by the audio subsystem; tests
// record the calls.
#include <memory>
#include <string>

#include "model/play_desc.h"
#include "storage/documents.h"

namespace tollwick {

// A play that was started and can be aborted.
class PlayHandle {
public:
    virtual ~PlayHandle() = default;
    virtual void abortPlay() = 0;
    // True once the play was aborted or has ended by itself.
    virtual bool hasEnded() const = 0;
};

class SoundStarter {
public:
    static constexpr long long INFINITE_REPEAT = -1;

    virtual ~SoundStarter() = default;
    // All three expect the document mutex held, answer the started play or nothing when nothing
    // could be played, and fail when `id` names no song.
    virtual std::shared_ptr<PlayHandle> playSongById(const DB& db, const std::string& id, long long count = 1,
                                                     double delay = 0.0) = 0;
    virtual std::shared_ptr<PlayHandle> playSongByDescriptor(const DB& db, const PlayDesc& desc) = 0;
    // Plays the song once, as playSongById does, and deletes its file from the user-data directory
    // after the play has ended (or at once when nothing could be played), on another thread: for a
    // programme that deletes itself and its song after playing. A built-in signal's file stays.
    virtual std::shared_ptr<PlayHandle> playSongThenRemoveFile(const DB& db, const std::string& id) = 0;
};

} // namespace tollwick
