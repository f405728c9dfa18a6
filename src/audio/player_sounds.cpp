#include "audio/player_sounds.h"

namespace tollwick {

namespace {

struct ThreadHandle : PlayHandle {
    explicit ThreadHandle(std::shared_ptr<PlayerThread> thread) : thread(std::move(thread)) {}
    void abortPlay() override { thread->abortPlay(); }
    bool hasEnded() const override { return thread->isAborted() || !thread->isAlive(); }
    std::shared_ptr<PlayerThread> thread;
};

// Plays asked for from the interface give way to the bells and the alarm.
PlayPriority priorityOf(const PlayOrigin& origin) {
    return origin.source == PlaySource::MANUAL || origin.source == PlaySource::ANNOUNCEMENT ? PlayPriority::BY_HAND
                                                                                            : PlayPriority::DUE;
}

} // namespace

PlayLogEntry PlayerSounds::entryOf(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                                   LocalMoment& lateFrom) const {
    // A play on request is due the moment it is asked for, and is late by what follows it.
    lateFrom = origin.due ? LocalMoment{*origin.due, 0} : _clock.preciseNow();
    PlayLogEntry entry;
    entry.id = PlayLog::newEntryId();
    entry.due = isoSecondText(lateFrom.reading);
    entry.source = origin.source;
    entry.lesson = origin.lesson;
    entry.songId = songId;
    entry.songName = songName;
    return entry;
}

std::shared_ptr<PlayHandle> PlayerSounds::play(PlayRequest request, const PlayOrigin& origin) {
    LocalMoment lateFrom;
    PlayLogEntry entry = entryOf(request.songId, request.songName, origin, lateFrom);
    const auto logged = std::make_shared<LoggedPlay>(_log, std::move(entry), lateFrom, _metrics, _alerts);
    try {
        return std::make_shared<ThreadHandle>(_player.play(std::move(request), logged, priorityOf(origin)));
    } catch (const std::exception& e) {
        logged->playEnded(PlayEnd::FAILED, e.what());
        throw;
    }
}

void PlayerSounds::record(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                          PlayOutcome outcome, const std::string& detail) {
    LocalMoment lateFrom;
    PlayLogEntry entry = entryOf(songId, songName, origin, lateFrom);
    if (outcome == PlayOutcome::FAILED) {
        // Written as a play that ended at once, as a play whose start failed is.
        LoggedPlay(_log, std::move(entry), lateFrom, _metrics, _alerts).playEnded(PlayEnd::FAILED, detail);
        return;
    }
    entry.outcome = outcome;
    entry.detail = detail;
    if (_metrics)
        _metrics->countPlay(entry.source, outcome);
    _log.record(entry);
    alertIfBellFailed(_alerts, entry);
}

} // namespace tollwick
