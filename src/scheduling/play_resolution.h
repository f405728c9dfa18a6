#pragma once
// From what the schedule, the alarm and the interface name (a song id, a play descriptor, an
// announcement) to a plain PlayRequest. A built-in signal lies in the asset directory, every other
// song in the user-data directory; a programmed announcement always plays as an announcement,
// after the configured announcement signal.
//
// Resolving reads the database and joins names onto paths resolved at start-up: it touches no
// disk, so the scheduler can resolve its bells under the document mutex, which the caller holds
// for the whole call when the database is the stored document. Whether the files are there is
// learnt by the player, when it starts them.
#include <optional>
#include <string>

#include "model/audio_asset.h"
#include "model/play_desc.h"
#include "model/play_request.h"
#include "runtime/paths.h"

namespace tollwick {

struct DB;

// The full path of the song's file.
std::string songPath(const Paths& paths, const AudioAsset& song);

// The name of the song `id`, for the play log; empty when no song has the id.
std::string songNameOf(const DB& db, const std::string& id);
// The same, or the id itself when no song has it any more, for lists that must show something.
std::string songNameOrId(const DB& db, const std::string& id);

// The song `id` played `rounds` times with `delay` seconds between plays. Nothing for the id
// "NULL"; KeyError when no song has the id. A programmed announcement plays once, as an
// announcement, whatever `rounds` says.
std::optional<PlayRequest> resolveSong(const DB& db, const Paths& paths, const std::string& id, Rounds rounds = 1,
                                       double delay = 0.0);

// A descriptor's song: `iterations` times `delaySec` apart when `doRepeat` is set, else once.
// Values outside what the API accepts (1 to 100 plays, 0 to 600 seconds), which a database older
// than that check may hold, are taken as the nearest accepted one.
std::optional<PlayRequest> resolveDescriptor(const DB& db, const Paths& paths, const PlayDesc& desc);

// The song `id` once, its file deleted after the play: for a programme that deletes itself. A
// built-in signal's file, or a file that another song uses too, stays.
std::optional<PlayRequest> resolveSongThenRemoveFile(const DB& db, const Paths& paths, const std::string& id);

// The alarm signal of the settings, without end, with their delay (0 to MAX_DELAY_SEC seconds)
// between repetitions.
std::optional<PlayRequest> resolveAlarm(const DB& db, const Paths& paths);

// The play log's id and name of the loudspeaker test.
inline constexpr const char* LOUDSPEAKER_TEST_ID = "loudspeakerTest";
inline constexpr const char* LOUDSPEAKER_TEST_NAME = "Loudspeaker test";

// The loudspeaker test: a short, quiet sound of the asset directory, once. It is no song of the
// database, so it can be neither deleted nor chosen as a bell.
PlayRequest resolveLoudspeakerTest(const Paths& paths);

// The announcement `announcementId`, downloaded into `path`, after the announcement signal
// (settings.announcementSignalId, when it names a song); the file is deleted after the play when
// `removeAfterwards`.
PlayRequest resolveAnnouncement(const DB& db, const Paths& paths, const std::string& path,
                                const std::string& announcementId, bool removeAfterwards);

} // namespace tollwick
