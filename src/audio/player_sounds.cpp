#include "audio/player_sounds.h"

#include <algorithm>
#include <limits>

#include "audio/song_resolution.h"

namespace tollwick {

namespace {

struct ThreadHandle : PlayHandle {
    explicit ThreadHandle(std::shared_ptr<PlayerThread> thread) : thread(std::move(thread)) {}
    void abortPlay() override { thread->abortPlay(); }
    bool hasEnded() const override { return thread->isAborted() || !thread->isAlive(); }
    std::shared_ptr<PlayerThread> thread;
};

std::shared_ptr<PlayHandle> handleOf(std::shared_ptr<PlayerThread> thread) {
    return thread ? std::make_shared<ThreadHandle>(std::move(thread)) : nullptr;
}

// Plays asked for from the interface give way to the bells and the alarm.
PlayPriority priorityOf(const PlayOrigin& origin) {
    return origin.source == PlaySource::MANUAL || origin.source == PlaySource::ANNOUNCEMENT ? PlayPriority::BY_HAND
                                                                                            : PlayPriority::DUE;
}

// The song's name, or nothing when the id names no song (the play then fails as such).
std::string songNameOf(const DB& db, const std::string& id) {
    const AudioAsset* song = db.songs.find(id);
    return song ? song->name : "";
}

} // namespace

std::shared_ptr<LoggedPlay> PlayerSounds::begin(const std::string& songId, const std::string& songName,
                                                const PlayOrigin& origin, PlayLogEntry* initial) {
    // A play on request is due the moment it is asked for, and is late by what follows it.
    const LocalMoment lateFrom = origin.due ? LocalMoment{*origin.due, 0} : _clock.preciseNow();
    PlayLogEntry entry;
    entry.id = PlayLog::newEntryId();
    entry.due = isoSecondText(lateFrom.reading);
    entry.source = origin.source;
    entry.lesson = origin.lesson;
    entry.songId = songId;
    entry.songName = songName;
    if (initial)
        *initial = entry;
    return std::make_shared<LoggedPlay>(_log, std::move(entry), lateFrom);
}

template <class Start>
std::shared_ptr<PlayHandle> PlayerSounds::logged(const std::shared_ptr<LoggedPlay>& entry, Start&& play) {
    try {
        return handleOf(play());
    } catch (const std::exception& e) {
        entry->playEnded(PlayEnd::FAILED, e.what());
        throw;
    }
}

std::shared_ptr<PlayHandle> PlayerSounds::playSongById(const DB& db, const std::string& id, const PlayOrigin& origin,
                                                       long long count, double delay) {
    if (id == NULL_ID)
        return nullptr;
    const int bounded = static_cast<int>(
        std::clamp<long long>(count, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    const auto entry = begin(id, songNameOf(db, id), origin);
    return logged(entry,
                  [&] { return tollwick::playSongById(db, _player, id, bounded, delay, entry, priorityOf(origin)); });
}

std::shared_ptr<PlayHandle> PlayerSounds::playSongByDescriptor(const DB& db, const PlayDesc& desc,
                                                               const PlayOrigin& origin) {
    if (desc.id == NULL_ID)
        return nullptr;
    const auto entry = begin(desc.id, songNameOf(db, desc.id), origin);
    return logged(entry, [&] { return tollwick::playSongByDescriptor(db, _player, desc, entry, priorityOf(origin)); });
}

std::shared_ptr<PlayHandle> PlayerSounds::playSongThenRemoveFile(const DB& db, const std::string& id,
                                                                 const PlayOrigin& origin) {
    if (id == NULL_ID)
        return nullptr;
    const auto entry = begin(id, songNameOf(db, id), origin);
    return logged(entry, [&] { return tollwick::playSongThenRemoveFile(db, _player, id, entry, priorityOf(origin)); });
}

void PlayerSounds::recordSkipped(const DB& db, const std::string& id, const PlayOrigin& origin,
                                 const std::string& detail) {
    if (id == NULL_ID)
        return;
    PlayLogEntry entry;
    begin(id, songNameOf(db, id), origin, &entry);
    entry.outcome = PlayOutcome::SKIPPED;
    entry.detail = detail;
    _log.record(entry);
}

std::shared_ptr<PlayHandle> PlayerSounds::playAnnouncement(const DB& db, const std::string& path,
                                                           const std::string& announcementId) {
    const PlayOrigin origin{PlaySource::ANNOUNCEMENT};
    const auto entry = begin(announcementId, announcementId, origin);
    return logged(entry,
                  [&] { return tollwick::playAnnouncement(db, _player, path, true, entry, priorityOf(origin)); });
}

void PlayerSounds::recordFailedAnnouncement(const std::string& announcementId, const std::string& detail) {
    begin(announcementId, announcementId, PlayOrigin{PlaySource::ANNOUNCEMENT})->playEnded(PlayEnd::FAILED, detail);
}

} // namespace tollwick
