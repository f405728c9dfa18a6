#include "audio/song_resolution.h"

#include "model/factory_ids.h"
#include "runtime/paths.h"
#include "storage/documents.h"

#include <algorithm>
#include <vector>

namespace tollwick {

std::string getSongAssetPath(const AudioAsset& song) {
    if (song.storageCategory == AudioAssetCategory::BUILT_IN_SIGNAL) {
        return getAssetPath(song.filename);
    }
    return getUserFilePath(song.filename);
}

std::string getSongAssetPathById(const DB& db, const std::string& id) {
    return getSongAssetPath(db.songs.get(id));
}

std::shared_ptr<PlayerThread> playSongById(const DB& db, Player& player, const std::string& id, int count, double delay,
                                           std::shared_ptr<PlayObserver> observer, PlayPriority priority) {
    if (id == NULL_ID) {
        return nullptr;
    }
    const AudioAsset& song = db.songs.get(id);
    const std::string path = getSongAssetPath(song);
    if (song.storageCategory == AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT) {
        return playAnnouncement(db, player, path, false, std::move(observer), priority);
    }
    return playAudioFile(player, path, count, delay, std::move(observer), priority);
}

std::shared_ptr<PlayerThread> playSongByDescriptor(const DB& db, Player& player, const PlayDesc& desc,
                                                   std::shared_ptr<PlayObserver> observer, PlayPriority priority) {
    if (desc.doRepeat) {
        return playSongById(db, player, desc.id,
                            std::clamp(desc.iterations, PlayDesc::MIN_ITERATIONS, PlayDesc::MAX_ITERATIONS),
                            std::clamp(desc.delaySec, 0.0, PlayDesc::MAX_DELAY_SEC), std::move(observer), priority);
    }
    return playSongById(db, player, desc.id, 1, 0.0, std::move(observer), priority);
}

std::shared_ptr<PlayerThread> playSongThenRemoveFile(const DB& db, Player& player, const std::string& id,
                                                     std::shared_ptr<PlayObserver> observer, PlayPriority priority) {
    if (id == NULL_ID) {
        return nullptr;
    }
    const AudioAsset& song = db.songs.get(id);
    const std::string path = getSongAssetPath(song);
    const bool removable = song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL &&
                           std::count_if(db.songs.begin(), db.songs.end(), [&](const auto& entry) {
                               return entry.second.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL &&
                                      entry.second.filename == song.filename;
                           }) == 1;
    if (song.storageCategory == AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT) {
        return playAnnouncement(db, player, path, removable, std::move(observer), priority);
    }
    return player.playFiles({path}, 0.0, false, removable ? std::vector<std::string>{path} : std::vector<std::string>{},
                            std::move(observer), priority);
}

std::shared_ptr<PlayerThread> playAnnouncement(const DB& db, Player& player, const std::string& path,
                                               bool removeAfterwards, std::shared_ptr<PlayObserver> observer,
                                               PlayPriority priority) {
    std::vector<std::string> queue;
    const std::string& signalId = db.settings.announcementSignalId;
    if (db.songs.contains(signalId)) {
        queue.push_back(getSongAssetPathById(db, signalId));
    }
    queue.push_back(path);
    return playAudioQueue(player, std::move(queue), 0.0,
                          removeAfterwards ? std::vector<std::string>{path} : std::vector<std::string>{},
                          std::move(observer), priority);
}

} // namespace tollwick
