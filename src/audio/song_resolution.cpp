#include "audio/song_resolution.h"

#include "model/factory_ids.h"
#include "runtime/paths.h"
#include "storage/documents.h"

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

std::shared_ptr<PlayerThread> playSongById(const DB& db, Player& player, const std::string& id, int count,
                                           double delay) {
    if (id == NULL_ID) {
        return nullptr;
    }
    const AudioAsset& song = db.songs.get(id);
    const std::string path = getSongAssetPath(song);
    if (song.storageCategory == AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT) {
        return playAnnouncement(db, player, path);
    }
    return playAudioFile(player, path, count, delay);
}

std::shared_ptr<PlayerThread> playSongByDescriptor(const DB& db, Player& player, const PlayDesc& desc) {
    if (desc.doRepeat) {
        return playSongById(db, player, desc.id, desc.iterations, desc.delaySec);
    }
    return playSongById(db, player, desc.id);
}

std::shared_ptr<PlayerThread> playAnnouncement(const DB& db, Player& player, const std::string& path) {
    std::vector<std::string> queue;
    const std::string& signalId = db.settings.announcementSignalId;
    if (db.songs.contains(signalId)) {
        queue.push_back(getSongAssetPathById(db, signalId));
    }
    queue.push_back(path);
    return playAudioQueue(player, std::move(queue));
}

} // namespace tollwick
