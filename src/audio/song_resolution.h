#pragma once
// From the songs the schedule, the alarm and the web interface name to files and play requests.
// A built-in signal lies in the shipped asset directory, every other song in the user-data
// directory; programmed announcements always play as announcements, after the configured
// announcement signal.
//
// The functions that take the database read it only: when it is the stored document, the caller
// holds the document mutex (Documents::mutex) for the whole call. Playing never blocks, so holding
// it is cheap; the playing thread gets file paths and needs no lock.
#include <memory>
#include <string>

#include "audio/player.h"
#include "model/audio_asset.h"
#include "model/play_desc.h"

namespace tollwick {

struct DB;

// The full path of the song's file: in the asset directory for a built-in signal, in the user-data
// directory for any other kind.
std::string getSongAssetPath(const AudioAsset& song);

// The path of the song stored in db.songs under `id`. Throws KeyError when there is none.
// Expects the document mutex held.
std::string getSongAssetPathById(const DB& db, const std::string& id);

// Plays the song `id` `count` times with `delay` seconds between plays (INFINITE_REPEAT: until
// aborted). The id "NULL" plays nothing and answers nullptr without looking anything up. A
// programmed announcement plays as playAnnouncement does, once, whatever `count` says. Throws
// KeyError for an unknown id; answers nullptr when the file is missing. Expects the document mutex held.
// `observer`, here and below, hears of the play as Player::playFiles tells it, and `priority`
// stands against the player's bound as it says.
std::shared_ptr<PlayerThread> playSongById(const DB& db, Player& player, const std::string& id, int count = 1,
                                           double delay = 0.0, std::shared_ptr<PlayObserver> observer = {},
                                           PlayPriority priority = PlayPriority::DUE);

// Plays a descriptor's song: `iterations` times `delaySec` apart when `doRepeat` is set, else once.
// Values outside what the API accepts (1 to 100 plays, 0 to 600 seconds), which a database older
// than that check may hold, are taken as the nearest accepted one. Expects the document mutex held.
std::shared_ptr<PlayerThread> playSongByDescriptor(const DB& db, Player& player, const PlayDesc& desc,
                                                   std::shared_ptr<PlayObserver> observer = {},
                                                   PlayPriority priority = PlayPriority::DUE);

// Plays the song `id` once, as playSongById does, and deletes its file after the play has ended,
// or at once (on another thread) when nothing could be played. A built-in signal's file, or a
// file that another song uses too, stays. Expects the document mutex held.
std::shared_ptr<PlayerThread> playSongThenRemoveFile(const DB& db, Player& player, const std::string& id,
                                                     std::shared_ptr<PlayObserver> observer = {},
                                                     PlayPriority priority = PlayPriority::DUE);

// Plays the announcement signal (settings.announcementSignalId, when it names a song) and then the
// file at `path`, back to back in one request; when `removeAfterwards`, deletes the file at `path`
// after the play, or at once when nothing could be played. Expects the document mutex held.
std::shared_ptr<PlayerThread> playAnnouncement(const DB& db, Player& player, const std::string& path,
                                               bool removeAfterwards = false,
                                               std::shared_ptr<PlayObserver> observer = {},
                                               PlayPriority priority = PlayPriority::DUE);

} // namespace tollwick
