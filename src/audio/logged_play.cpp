#include "audio/logged_play.h"

namespace tollwick {

LoggedPlay::LoggedPlay(PlayLog& log, PlayLogEntry entry, LocalMoment lateFrom, Metrics* metrics)
    : _log(log), _metrics(metrics), _entry(std::move(entry)), _lateFrom(lateFrom) {}

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
}

void LoggedPlay::write() noexcept {
    try {
        _log.record(_entry);
    } catch (...) {
        // Out of memory for one line: the play itself goes on.
    }
}

} // namespace tollwick
