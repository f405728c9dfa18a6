#pragma once
// A play's entry in the play log, kept up to date as the play goes on: written when its sound
// begins (or at once when it cannot begin) and again when it ends.
#include <mutex>
#include <string>

#include "audio/play_observer.h"
#include "model/alert_sink.h"
#include "model/metrics.h"
#include "model/play_log_entry.h"
#include "storage/play_log.h"

namespace tollwick {

// Raises "bellFailed" on `alerts` (when given) for an entry of a bell, programme or the alarm that
// failed, or that was skipped for any reason but a quiet period.
void alertIfBellFailed(AlertSink* alerts, const PlayLogEntry& entry) noexcept;

class LoggedPlay : public PlayObserver {
public:
    // `entry` holds what is known before the play: due, source, lesson, song. Lateness is counted
    // from `lateFrom`: the due second of a scheduled play, the request of a play on request.
    // `log`, and `metrics` and `alerts` when given, must outlive every play.
    LoggedPlay(PlayLog& log, PlayLogEntry entry, LocalMoment lateFrom, Metrics* metrics = nullptr,
               AlertSink* alerts = nullptr);

    void playStarted(const LocalMoment& at) noexcept override;
    void playEnded(PlayEnd how, const std::string& detail) noexcept override;

private:
    // Expects _mutex held.
    void write() noexcept;

    PlayLog& _log;
    Metrics* _metrics;
    AlertSink* _alerts;
    std::mutex _mutex; // guards _entry and _ended
    PlayLogEntry _entry;
    const LocalMoment _lateFrom;
    bool _ended = false;
};

} // namespace tollwick
