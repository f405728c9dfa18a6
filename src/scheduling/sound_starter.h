#pragma once
// What the scheduler, the alarm and the interface need of the audio side: starting a resolved play,
// aborting it, and noting a play that was skipped or could not be resolved. Every play is recorded
// in the play log with its origin. Implemented over the player by the audio subsystem; tests
// record the calls.
#include <memory>
#include <optional>
#include <string>

#include "model/clock_reading.h"
#include "model/play_log_entry.h"
#include "model/play_request.h"

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
    virtual ~SoundStarter() = default;
    // Starts the play `request` and logs it with its origin, failures included. Called without the
    // document mutex. A play from the interface (MANUAL, ANNOUNCEMENT) is refused with
    // TooManyPlaysError, and logged as skipped, while the player has as many plays in progress as
    // it allows; a bell, a programme or the alarm never is: it makes the oldest play from the
    // interface stop instead.
    virtual std::shared_ptr<PlayHandle> play(PlayRequest request, const PlayOrigin& origin) = 0;
    // Logs that the song `songId` (named `songName`) was due and not played: `outcome` is
    // skipped (deliberately, for the reason `detail`) or failed (for the error `detail`).
    virtual void record(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                        PlayOutcome outcome, const std::string& detail) = 0;
};

} // namespace tollwick
