#pragma once
// The scheduler: reads the clock at least ten times a second and, in every new second, rings what
// is due in exactly that second (one-off programmes, the lesson bells of the timetable in force and
// the extra plays), clears yesterday's daily timetable choice, calls phone-home now and then, and
// writes the documents whose content changed.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

#include "model/clock_reading.h"
#include "scheduling/clock.h"
#include "scheduling/sound_starter.h"
#include "storage/store.h"

namespace tollwick {

class Scheduler {
public:
    // The new readings after which phone-home runs again: about 30 hours of running.
    static constexpr long long SEC_30_HOURS = 108000;

    // `phoneHome` runs on a thread of its own, at most one at a time, so that a slow vendor service
    // never delays a bell. It takes the document mutex itself when it needs the documents.
    Scheduler(Documents& docs, Clock& clock, SoundStarter& sounds, std::function<void()> phoneHome);

    // The loop; never returns. Run it on a daemon thread.
    [[noreturn]] void run();

    // Runs on the loop's thread after each of its passes, failed duties included: the loop's
    // heartbeat, for a watchdog that restarts the process when the loop stops. Set before run().
    void setAfterPass(std::function<void()> afterPass) { _afterPass = std::move(afterPass); }

    // One pass of the loop without its sleep: the per-second duties when the clock shows a new
    // second, then the save of every changed document. Errors are logged, never raised.
    void pass();

    // Starts everything due in the current clock second. Expects the document mutex held.
    void triggerScheduledSounds();

    // How long to sleep after a pass: until just after the next second boundary, and never longer than
    // a tenth of a second, so that a bell starts within milliseconds of its second.
    static std::chrono::microseconds sleepAfterPass(std::chrono::system_clock::time_point now);

private:
    void startPhoneHome();
    void saveChangedDocuments();
    // Starts one play, keeping its failure to itself: the error is logged and the others go on.
    void guarded(const std::function<void()>& play) noexcept;

    Documents& _docs;
    Clock& _clock;
    SoundStarter& _sounds;
    std::function<void()> _phoneHome;
    std::function<void()> _afterPass;
    std::optional<ClockReading> _nowPrev; // the reading whose duties were last done
    long long _secCounter = 0;            // passes that saw a new reading; never reset
    std::shared_ptr<std::atomic<bool>> _phoneHomeRunning = std::make_shared<std::atomic<bool>>(false);
};

// Logs a failure of a scheduler duty as the system does everywhere: "Scheduler thread error: <text>".
void logSchedulerError(const std::exception& error) noexcept;

} // namespace tollwick
