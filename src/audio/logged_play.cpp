#include "audio/logged_play.h"

namespace tollwick {

LoggedPlay::LoggedPlay(PlayLog& log, PlayLogEntry entry, LocalMoment lateFrom)
    : _log(log), _entry(std::move(entry)), _lateFrom(lateFrom) {}

void LoggedPlay::playStarted(const LocalMoment& at) noexcept {
    std::scoped_lock lock(_mutex);
    if (_ended)
        return;
    _entry.started = isoMillisecondText(at);
    _entry.lateMs = millisecondsAfter(_lateFrom.reading, at) - _lateFrom.millisecond;
    _entry.outcome = PlayOutcome::PLAYED;
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
