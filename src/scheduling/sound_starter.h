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
};

class SoundStarter {
public:
    static constexpr long long INFINITE_REPEAT = -1;

    virtual ~SoundStarter() = default;
    // Both expect the document mutex held, answer the started play or nothing when nothing could be
    // played, and fail when `id` names no song.
    virtual std::shared_ptr<PlayHandle> playSongById(const DB& db, const std::string& id, long long count = 1,
                                                     double delay = 0.0) = 0;
    virtual std::shared_ptr<PlayHandle> playSongByDescriptor(const DB& db, const PlayDesc& desc) = 0;
};

} // namespace tollwick
