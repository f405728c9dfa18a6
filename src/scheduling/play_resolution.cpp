#include "scheduling/play_resolution.h"

#include <algorithm>

#include "storage/documents.h"

namespace tollwick {

namespace {

// The announcement signal, when the settings name a song, and then `path`.
PlayRequest asAnnouncement(const DB& db, const Paths& paths, PlayRequest request, const std::string& path,
                           bool removeAfterwards) {
    request.paths.clear();
    if (const AudioAsset* signal = db.songs.find(db.settings.announcementSignalId))
        request.paths.push_back(songPath(paths, *signal));
    request.paths.push_back(path);
    request.rounds = 1;
    request.delay = 0.0;
    if (removeAfterwards)
        request.removeWhenDone = {path};
    return request;
}

} // namespace

std::string songPath(const Paths& paths, const AudioAsset& song) {
    return song.storageCategory == AudioAssetCategory::BUILT_IN_SIGNAL ? paths.asset(song.filename)
                                                                         : paths.userFile(song.filename);
}

std::string songNameOf(const DB& db, const std::string& id) {
    const AudioAsset* song = db.songs.find(id);
    return song ? song->name : "";
}

std::string songNameOrId(const DB& db, const std::string& id) {
    const AudioAsset* song = db.songs.find(id);
    return song ? song->name : id;
}

std::optional<PlayRequest> resolveSong(const DB& db, const Paths& paths, const std::string& id, Rounds rounds,
                                       double delay) {
    if (id == NULL_ID)
        return std::nullopt;
    const AudioAsset& song = db.songs.get(id);
    const std::string path = songPath(paths, song);
    PlayRequest request{id, song.name, {path}, rounds, delay, {}};
    if (song.storageCategory == AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT)
        return asAnnouncement(db, paths, std::move(request), path, false);
    return request;
}

std::optional<PlayRequest> resolveDescriptor(const DB& db, const Paths& paths, const PlayDesc& desc) {
    if (!desc.doRepeat)
        return resolveSong(db, paths, desc.id);
    return resolveSong(db, paths, desc.id,
                       static_cast<Rounds>(std::clamp(desc.iterations, PlayDesc::MIN_ITERATIONS, PlayDesc::MAX_ITERATIONS)),
                       std::clamp(desc.delaySec, 0.0, PlayDesc::MAX_DELAY_SEC));
}

std::optional<PlayRequest> resolveSongThenRemoveFile(const DB& db, const Paths& paths, const std::string& id) {
    std::optional<PlayRequest> request = resolveSong(db, paths, id);
    if (!request)
        return request;
    const AudioAsset& song = db.songs.get(id);
    const bool removable = song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL &&
                           std::count_if(db.songs.begin(), db.songs.end(), [&](const auto& entry) {
                               return entry.second.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL &&
                                      entry.second.filename == song.filename;
                           }) == 1;
    if (removable)
        request->removeWhenDone = {songPath(paths, song)};
    return request;
}

std::optional<PlayRequest> resolveAlarm(const DB& db, const Paths& paths) {
    // A pause outside the range the interface accepts may come from a database older than that check.
    return resolveSong(db, paths, db.settings.alarmSignalId, ENDLESS,
                       std::clamp(db.settings.alarmDelaySec, 0.0, PlayDesc::MAX_DELAY_SEC));
}

PlayRequest resolveLoudspeakerTest(const Paths& paths) {
    return PlayRequest{LOUDSPEAKER_TEST_ID, LOUDSPEAKER_TEST_NAME, {paths.asset("loudspeaker-test.mp3")}, 1, 0.0, {}};
}

PlayRequest resolveAnnouncement(const DB& db, const Paths& paths, const std::string& path,
                                const std::string& announcementId, bool removeAfterwards) {
    return asAnnouncement(db, paths, PlayRequest{announcementId, announcementId, {}, 1, 0.0, {}}, path,
                          removeAfterwards);
}

} // namespace tollwick
