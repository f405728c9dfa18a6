#pragma once
// What the scheduler and the alarm need of the audio side: starting plays by song id and by play
// descriptor, aborting a play, and noting a play that was skipped. Every play is recorded in the
// play log with its origin. Implemented over the player by the audio subsystem; tests record the
// calls.
#include <memory>
#include <optional>
#include <string>

#include "model/clock_reading.h"
#include "model/play_desc.h"
#include "model/play_log_entry.h"
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

// What made a play, for the play log.
struct PlayOrigin {
    PlaySource source = PlaySource::MANUAL;
    std::optional<int> lesson;       // the lesson's number from 1, for lesson signals
    std::optional<ClockReading> due; // the scheduled second; none for a play on request, due now
};

class SoundStarter {
public:
    static constexpr long long INFINITE_REPEAT = -1;

    virtual ~SoundStarter() = default;
    // All three expect the document mutex held, answer the started play or nothing when nothing
    // could be played, and fail when `id` names no song. A play of the id "NULL" plays nothing and
    // is not logged; every other one is, failures included. A play from the interface (MANUAL)
    // is refused with TooManyPlaysError, and logged as skipped, while the player has as many
    // plays in progress as it allows; a bell, a programme or the alarm never is: it makes the
    // oldest play from the interface stop instead.
    virtual std::shared_ptr<PlayHandle> playSongById(const DB& db, const std::string& id, const PlayOrigin& origin,
                                                     long long count = 1, double delay = 0.0) = 0;
    virtual std::shared_ptr<PlayHandle> playSongByDescriptor(const DB& db, const PlayDesc& desc,
                                                             const PlayOrigin& origin) = 0;
    // Plays the song once, as playSongById does, and deletes its file from the user-data directory
    // after the play has ended (or at once when nothing could be played), on another thread: for a
    // programme that deletes itself and its song after playing. A built-in signal's file stays.
    virtual std::shared_ptr<PlayHandle> playSongThenRemoveFile(const DB& db, const std::string& id,
                                                               const PlayOrigin& origin) = 0;
    // Logs that the song `id` was due and deliberately not played, for the reason `detail`.
    // Nothing for "NULL". Expects the document mutex held.
    virtual void recordSkipped(const DB& db, const std::string& id, const PlayOrigin& origin,
                               const std::string& detail) = 0;
};

} // namespace tollwick
