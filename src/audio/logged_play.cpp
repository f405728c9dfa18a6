#include "audio/logged_play.h"

namespace tollwick {

void alertIfBellFailed(AlertSink* alerts, const PlayLogEntry& entry) noexcept {
    const bool scheduled = isScheduledSource(entry.source) || entry.source == PlaySource::ALARM;
    const bool missed =
        entry.outcome == PlayOutcome::FAILED || (entry.outcome == PlayOutcome::SKIPPED && entry.detail != QUIET_REASON);
    if (!alerts || !scheduled || !missed)
        return;
    try {
        Alert alert{"bellFailed", "", {}, entry.detail};
        if (entry.source == PlaySource::ALARM) {
            alert.message = "alarmFailed";
            alert.values = {entry.songName, entry.detail};
        } else {
            const std::string time = entry.due.size() >= 16 ? entry.due.substr(11, 5) : entry.due;
            if (entry.source == PlaySource::PROGRAMME) {
                alert.message = "programmeFailed";
                alert.values = {time, entry.songName, entry.detail};
            } else {
                alert.message = "bellFailed";
                alert.values = {time, std::string(enumText(entry.source)),
                                entry.lesson ? std::to_string(*entry.lesson) : "", entry.songName, entry.detail};
            }
        }
        alert.subject = alert.message + '\n' + entry.detail;
        alerts->raise(std::move(alert));
    } catch (...) {
        // Out of memory for one alert: the play log still has it.
    }
}

LoggedPlay::LoggedPlay(PlayLog& log, PlayLogEntry entry, LocalMoment lateFrom, Metrics* metrics, AlertSink* alerts)
    : _log(log), _metrics(metrics), _alerts(alerts), _entry(std::move(entry)), _lateFrom(lateFrom) {}

void LoggedPlay::playStarted(const LocalMoment& at) noexcept {
    std::scoped_lock lock(_mutex);
    if (_ended)
        return;
    _entry.started = isoMillisecondText(at);
    _entry.lateMs = millisecondsAfter(_lateFrom.reading, at) - _lateFrom.millisecond;
    _entry.outcome = PlayOutcome::PLAYED;
    // Only a bell or programme is due at a second; a play that someone asked for (the alarm among
    // them) is late by nothing but its own start.
    if (_metrics && _entry.source != PlaySource::MANUAL && _entry.source != PlaySource::ANNOUNCEMENT &&
        _entry.source != PlaySource::ALARM)
        _metrics->observeLateness(static_cast<double>(*_entry.lateMs) / 1000.0);
    write();
}

void LoggedPlay::playEnded(PlayEnd how, const std::string& detail) noexcept {
    std::scoped_lock lock(_mutex);
    // Only the first end counts: a failure reported by the player is not reported again by its caller.
    if (_ended)
        return;
    _ended = true;
    switch (how) {
    case PlayEnd::PLAYED:
        _entry.outcome = PlayOutcome::PLAYED;
        break;
    case PlayEnd::STOPPED:
        _entry.outcome = PlayOutcome::STOPPED;
        break;
    case PlayEnd::FAILED:
        _entry.outcome = PlayOutcome::FAILED;
        break;
    case PlayEnd::REFUSED:
        _entry.outcome = PlayOutcome::SKIPPED;
        break;
    }
    _entry.detail = how == PlayEnd::FAILED || how == PlayEnd::REFUSED ? detail : "";
    if (_metrics)
        _metrics->countPlay(_entry.source, _entry.outcome);
    write();
    alertIfBellFailed(_alerts, _entry);
}

void LoggedPlay::write() noexcept {
    try {
        _log.record(_entry);
    } catch (...) {
        // Out of memory for one line: the play itself goes on.
    }
}

} // namespace tollwick
