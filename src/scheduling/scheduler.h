#pragma once
// The scheduler: reads the clock at least ten times a second and, in every new second, rings what
// is due in exactly that second (one-off programmes, the lesson bells of the timetable in force and
// the extra plays), clears yesterday's daily timetable choice and calls phone-home now and then.
// It never touches a disk: the documents are written by the writer thread (DocumentWriter), the
// play log by a thread of its own, and what a second rings is resolved from the database into
// plain play requests under the document mutex, then started without it.
//
// Seconds it did not see in time (the process was stalled or starved) still ring, late, when the
// gap is short; a longer jump of the clock rings nothing for the seconds it skipped, and a second
// the clock shows again after a step back rings nothing twice, nor does one that the process
// before a restart handled (markHandled).
//
// In a quiet period the lesson signals and extra plays are not started but logged as skipped;
// programmes still play.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "model/clock_reading.h"
#include "model/play_desc.h"
#include "runtime/paths.h"
#include "scheduling/clock.h"
#include "scheduling/handled_seconds.h"
#include "scheduling/quiet_periods.h"
#include "scheduling/sound_starter.h"
#include "storage/store.h"

namespace tollwick {

class Scheduler {
public:
    // The new readings after which phone-home runs again: about 30 hours of running.
    static constexpr long long SEC_30_HOURS = 108000;
    // The longest gap between two readings whose skipped seconds are still rung, late.
    static constexpr long long MAX_CATCH_UP_SECONDS = 5;

    // `phoneHome` runs on a thread of its own, at most one at a time, so that a slow vendor service
    // never delays a bell. It takes the document mutex itself when it needs the documents.
    // `paths` are the directories resolved at start-up, which the bells' file names are joined onto.
    Scheduler(Documents& docs, Clock& clock, SoundStarter& sounds, const QuietPeriods& quiet,
              std::function<void()> phoneHome, Paths paths);

    // The loop, until stop(). Run it on a daemon thread.
    void run();

    // Makes run() return after its current pass (within a tenth of a second), and waits until a
    // phone-home under way has ended: it uses what the scheduler was given.
    void stop();

    // Runs on the loop's thread after each of its passes, failed duties included: the loop's
    // heartbeat, for a watchdog that restarts the process when the loop stops. Set before run().
    void setAfterPass(std::function<void()> afterPass) { _afterPass = std::move(afterPass); }

    // Counts these wall-clock seconds (wallSecondsOf) as handled: their duties are not done when the
    // clock shows them. For the seconds the process before this one handled (loggedScheduledSeconds).
    // Call before run().
    void markHandled(const std::vector<long long>& seconds);

    // One pass of the loop without its sleep: the per-second duties when the clock shows a new
    // second, for every second due since the last pass. Errors are logged, never raised; a second
    // whose duties failed is tried again by the next pass.
    void pass();

    // Starts everything due in the second `now` and answers how many plays started. Takes the
    // document mutex itself, to resolve what is due, and starts the plays without it.
    int triggerScheduledSounds(const ClockReading& now);
    // The same for the current clock reading.
    int triggerScheduledSounds() { return triggerScheduledSounds(_clock.getClock()); }

    // How far past a second boundary the loop means to wake.
    static constexpr std::chrono::microseconds WAKE_MARGIN{20};
    // The last sleep before a boundary is this short at the most: a processor idle for longer
    // falls into deeper sleep, out of which the bell's thread wakes a millisecond or more late.
    static constexpr std::chrono::microseconds LAST_SLEEP{2000};

    // How long to sleep after a pass: until just after the next second boundary, with a short last
    // sleep before it, and never longer than a tenth of a second, so that a bell starts within a
    // millisecond or two of its second.
    static std::chrono::microseconds sleepAfterPass(std::chrono::system_clock::time_point now);

private:
    // A play resolved under the document mutex, started once it is released.
    struct PlannedPlay {
        PlayRequest request;
        PlayOrigin origin;
    };

    // The wall-clock seconds to handle now that the clock shows `second`, in order; logs a jump
    // or a step back of the clock.
    std::vector<long long> secondsDue(long long second) const;
    // The day reset of one second, and its bells added to `plays`. Expects the document mutex held.
    void handleSecond(long long second, const ClockReading& now, std::vector<PlannedPlay>& plays);
    // What rings in the second `now`, added to `plays`; programmes that delete themselves are
    // removed. Expects the document mutex held.
    void planSecond(const ClockReading& now, std::vector<PlannedPlay>& plays);
    // Adds what `resolve` answers to `plays`. A failure is kept to itself: it is logged, and in
    // the play log as a failed play of `songId`, and the other plays go on.
    template <class Resolve>
    void plan(const DB& db, const std::string& songId, const PlayOrigin& origin, std::vector<PlannedPlay>& plays,
              Resolve&& resolve) noexcept;
    // Starts the plays, each failure kept to itself as plan does, and warns of the seconds that
    // rang later than `nowSecond`; answers how many started.
    int startAll(std::vector<PlannedPlay>& plays, long long nowSecond) noexcept;
    void startPhoneHome();
    // Logs a bell that does not ring as skipped for `reason`, keeping a failure to itself as plan does.
    void skip(const DB& db, const std::string& songId, const PlayOrigin& origin, std::string_view reason) noexcept;
    // While every bell is switched off: what would ring in the second `now`, the timetable's
    // bells and the programmes, logged as skipped, so that the day's bells say why they were silent.
    void skipSwitchedOff(const DB& db, const ClockReading& now) noexcept;

    Documents& _docs;
    Clock& _clock;
    SoundStarter& _sounds;
    const QuietPeriods& _quiet;
    std::function<void()> _phoneHome;
    const Paths _paths;
    std::function<void()> _afterPass;
    std::optional<ClockReading> _nowPrev; // the reading whose duties were last done
    long long _secCounter = 0;            // passes that saw a new reading; never reset
    HandledSeconds _handled;
    std::atomic<bool> _stopping{false};
    // Whether a phone-home runs; shared with its thread, which may outlive a scheduler that is not stopped.
    struct PhoneHomeState {
        std::mutex mutex;
        std::condition_variable ended;
        bool running = false;
    };
    std::shared_ptr<PhoneHomeState> _phoneHomeState = std::make_shared<PhoneHomeState>();
};

// Logs a failure of a scheduler duty as the system does everywhere: "Scheduler thread error: <text>".
void logSchedulerError(const std::exception& error) noexcept;

} // namespace tollwick
