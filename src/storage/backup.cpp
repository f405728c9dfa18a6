#include "storage/backup.h"

#include <map>
#include <mutex>
#include <utility>

#include <spdlog/spdlog.h>

#include "model/audio_file_name.h"
#include "model/json_text.h"
#include "model/uuid.h"
#include "runtime/paths.h"
#include "storage/store.h"
#include "storage/temporary_names.h"
#include "storage/zip_archive.h"

namespace tollwick {

namespace {

namespace fs = std::filesystem;

// A name of a file directly in the data directory: no directory part, nothing that could lead out.
bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string_view::npos;
}

// Whether an archive entry's name would lead out of the directory it is unpacked in.
bool leadsOutside(std::string_view name) {
    if (name.starts_with('/') || name.find_first_of("\\:") != std::string_view::npos)
        return true;
    std::size_t at = 0;
    while (at <= name.size()) {
        const std::size_t end = std::min(name.find('/', at), name.size());
        if (name.substr(at, end - at) == "..")
            return true;
        at = end + 1;
    }
    return false;
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes % (std::uint64_t{1} << 30) == 0)
        return std::to_string(bytes >> 30) + " GiB";
    if (bytes % (std::uint64_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// The first song whose file name is not one this system gives a sound file, or null. Such a name
// may be one of the system's own files (the password store, the documents): it is never put into
// a backup, written by a restore or served.
const AudioAsset* songWithForeignFile(const DB& db) {
    for (const auto& [id, song] : db.songs)
        if (!isAudioFileName(song.filename))
            return &song;
    return nullptr;
}

// The songs whose files lie in the data directory, by file name.
std::map<std::string, const AudioAsset*> userFilesOf(const DB& db) {
    std::map<std::string, const AudioAsset*> files;
    for (const auto& [id, song] : db.songs)
        if (song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL)
            files.emplace(song.filename, &song);
    return files;
}

// Keeps the file at `place` under a new temporary name beside it without taking it away: a second
// hard link where the file system has them, else a copy. Answers that name, or an empty path when
// there is no file at `place` (nothing, or a directory, over which no file can be renamed).
fs::path keepAside(const fs::path& place) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(place, error);
    if (!fs::exists(status) || fs::is_directory(status))
        return {};
    for (int attempt = 0; attempt < 8; ++attempt) { // the names are random: a clash is rare
        const fs::path aside =
            place.parent_path() / (temporaryPrefixOf(place) + newUuid4().substr(0, TEMPORARY_RANDOM_LENGTH));
        fs::create_hard_link(place, aside, error);
        if (error && error != std::errc::file_exists && fs::is_regular_file(status))
            fs::copy_file(place, aside, error);
        if (!error)
            return aside;
        if (error != std::errc::file_exists)
            break;
    }
    throw Error("Cannot save " + place.string() + ": keeping the file there aside: " + error.message());
}

// Unpacks with the bounds of a restore: every entry's share of what is left in all.
class BoundedUnpacking {
public:
    BoundedUnpacking(ZipReader& reader, const RestoreLimits& limits) : _reader(reader), _limits(limits) {}

    std::string read(std::size_t index) {
        const std::string& name = _reader.entries()[index].name;
        const std::uint64_t left = _limits.total - _unpacked;
        try {
            std::string content = _reader.read(index, std::min(left, _limits.entry));
            _unpacked += content.size();
            return content;
        } catch (const ZipEntryTooLarge&) {
            if (left < _limits.entry)
                throw InvalidValueError("The archive unpacks to more than " + sizeText(_limits.total));
            throw InvalidValueError("The archive's entry \"" + name + "\" unpacks to more than " +
                                    sizeText(_limits.entry));
        } catch (const Error& e) {
            throw InvalidValueError("The archive's entry \"" + name + "\" is damaged: " + e.what());
        }
    }

private:
    ZipReader& _reader;
    const RestoreLimits& _limits;
    std::uint64_t _unpacked = 0;
};

// Every entry by name, after checking that none leads out of the data directory, none comes twice
// and what they claim stays within the bounds.
std::map<std::string, std::size_t> checkedEntries(const ZipReader& reader, const RestoreLimits& limits) {
    std::map<std::string, std::size_t> byName;
    std::uint64_t claimed = 0;
    for (std::size_t i = 0; i < reader.entries().size(); ++i) {
        const auto& [name, size] = reader.entries()[i];
        if (leadsOutside(name))
            throw InvalidValueError("The archive's entry \"" + name + "\" points outside the data directory");
        if (!isPlainFileName(name))
            throw InvalidValueError("The archive's entry \"" + name + "\" is not a file of the data directory");
        if (!byName.emplace(name, i).second)
            throw InvalidValueError("The archive holds \"" + name + "\" twice");
        if (size > limits.entry)
            throw InvalidValueError("The archive's entry \"" + name + "\" unpacks to more than " +
                                    sizeText(limits.entry));
        claimed += size;
        if (claimed > limits.total)
            throw InvalidValueError("The archive unpacks to more than " + sizeText(limits.total));
    }
    return byName;
}

// The database as start-up would load it, or the reason it would not. The archive comes from the
// network, so its JSON is read with the same bound on nesting as a request's body.
DB decodeDatabase(const std::string& text) {
    Json loaded;
    DB db;
    try {
        loaded = parseJsonText(text);
    } catch (const InvalidValueError& e) {
        throw InvalidValueError(std::string("The database in the archive cannot be read: ") + e.what());
    }
    if (!DB::checkAfterLoad(loaded))
        throw InvalidValueError("The database in the archive is of a version this program cannot read");
    try {
        db = from_dict<DB>(loaded);
    } catch (const std::exception& e) {
        throw InvalidValueError(std::string("The database in the archive cannot be read: ") + e.what());
    }
    db.ensureFactorySongsAvailable();
    return db;
}

Cache decodeCache(const std::string& text) {
    try {
        return from_dict<Cache>(parseJsonText(text));
    } catch (const std::exception& e) {
        throw InvalidValueError(std::string("The cache in the archive cannot be read: ") + e.what());
    }
}

} // namespace

void writeBackup(const fs::path& archive, const DB& db, const Cache& cache, const fs::path& userDataDir) {
    if (const AudioAsset* song = songWithForeignFile(db))
        throw InvalidValueError("The song \"" + song->name + "\" names the file \"" + song->filename +
                                "\", which is not a sound file of Tollwick Player: delete that song, then make the "
                                "backup");
    const auto files = userFilesOf(db);
    if (files.size() + 2 > MAX_BACKUP_ENTRIES)
        throw InvalidValueError("There are more than " + std::to_string(MAX_BACKUP_ENTRIES - 2) +
                                " sound files, more than a backup holds: delete some, then make the backup");
    ZipWriter zip(archive);
    zip.addText(DB_FILE_NAME, to_json(db));
    zip.addText(CACHE_FILE_NAME, to_json(cache));
    for (const auto& [filename, song] : files) {
        const fs::path file = userDataDir / filename;
        std::error_code error;
        if (!fs::is_regular_file(file, error))
            throw InvalidValueError("The sound file \"" + filename + "\" of \"" + song->name +
                                    "\" is missing: delete that song or upload it again, then make the backup");
        zip.addFile(filename, file);
    }
    zip.close();
}

PreparedRestore::~PreparedRestore() {
    undoPlacing();
    for (const File& file : _files)
        _disk->removeIfPossible(file.unpacked);
}

void PreparedRestore::placeAudioFiles() {
    try {
        for (File& file : _files) {
            file.replaced = keepAside(file.place);
            _disk->moveIntoPlace(file.unpacked, file.place);
            file.placed = true;
        }
    } catch (...) {
        undoPlacing();
        throw;
    }
}

// In reverse order, so that a file placed twice (names that differ in case only, where the file
// system ignores case) ends as it began.
void PreparedRestore::undoPlacing() noexcept {
    for (auto file = _files.rbegin(); file != _files.rend(); ++file) {
        try {
            if (file->placed && !file->replaced.empty())
                _disk->renameOver(file->replaced, file->place);
            else if (file->placed)
                _disk->removeIfPossible(file->place);
            else if (!file->replaced.empty())
                _disk->removeIfPossible(file->replaced);
        } catch (const std::exception& e) {
            spdlog::error("Could not put back {} after a failed restore; it is kept as {}: {}", file->place.string(),
                          file->replaced.string(), e.what());
        }
        file->placed = false;
        file->replaced.clear();
    }
}

void PreparedRestore::keepPlacedFiles() noexcept {
    for (File& file : _files) {
        if (!file.replaced.empty())
            _disk->removeIfPossible(file.replaced);
        file.replaced.clear();
        file.placed = false;
    }
}

void commitRestore(PreparedRestore& restore, Documents& docs, const std::function<bool()>& saveDocumentsNow) {
    restore.placeAudioFiles();
    DB oldDb;
    Cache oldCache;
    {
        std::scoped_lock lock(docs.mutex);
        oldDb = std::exchange(docs.db.edit(), std::move(restore.db));
        if (restore.hasCache)
            oldCache = std::exchange(docs.cache.edit(), std::move(restore.cache));
    }
    if (saveDocumentsNow()) {
        restore.keepPlacedFiles();
        return;
    }
    {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit() = std::move(oldDb);
        if (restore.hasCache)
            docs.cache.edit() = std::move(oldCache);
    }
    // A document written before another failed holds the backup's content: the old one goes back.
    const bool putBack = saveDocumentsNow();
    restore.undoPlacing();
    throw Error(putBack ? "the documents could not be written to the disk"
                        : "the documents could not be written to the disk; the old ones will be written again");
}

namespace {
template <typename Archive>
std::unique_ptr<ZipReader> openArchive(const Archive& archive, std::size_t maxEntries) {
    try {
        return std::make_unique<ZipReader>(archive, maxEntries);
    } catch (const ZipTooManyEntries&) {
        throw InvalidValueError("This backup holds more than " + std::to_string(maxEntries) +
                                " files; it was not made by Tollwick Player");
    } catch (const Error& e) {
        throw InvalidValueError(std::string("The file is not a zip archive that can be read: ") + e.what());
    }
}
} // namespace

std::unique_ptr<PreparedRestore> prepareRestore(std::string_view archive, const fs::path& userDataDir,
                                                const RestoreLimits& limits, Files& disk) {
    return prepareRestore(*openArchive(archive, limits.entries), userDataDir, limits, disk);
}

std::unique_ptr<PreparedRestore> prepareRestoreFromFile(const fs::path& archiveFile, const fs::path& userDataDir,
                                                        const RestoreLimits& limits, Files& disk) {
    return prepareRestore(*openArchive(archiveFile, limits.entries), userDataDir, limits, disk);
}

std::unique_ptr<PreparedRestore> prepareRestore(ZipReader& reader, const fs::path& userDataDir,
                                                const RestoreLimits& limits, Files& disk) {
    const std::map<std::string, std::size_t> entries = checkedEntries(reader, limits);
    BoundedUnpacking unpacking(reader, limits);

    auto restore = std::make_unique<PreparedRestore>();
    restore->_disk = &disk;
    const auto db = entries.find(DB_FILE_NAME);
    if (db == entries.end())
        throw InvalidValueError(std::string("The archive holds no database (") + DB_FILE_NAME + ")");
    restore->db = decodeDatabase(unpacking.read(db->second));
    if (const auto cache = entries.find(CACHE_FILE_NAME); cache != entries.end()) {
        restore->cache = decodeCache(unpacking.read(cache->second));
        restore->hasCache = true;
    }

    if (const AudioAsset* song = songWithForeignFile(restore->db))
        throw InvalidValueError("This backup names the file \"" + song->filename + "\" for the sound \"" + song->name +
                                "\"; it was not made by Tollwick Player");
    const auto files = userFilesOf(restore->db);
    for (const auto& [id, song] : restore->db.songs) {
        if (song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL)
            continue;
        std::error_code error;
        if (!fs::is_regular_file(getAssetPath(song.filename), error))
            throw InvalidValueError("\"" + song.name + "\" is a built-in signal that this program does not have (" +
                                    song.filename + ")");
    }
    for (const auto& [filename, song] : files)
        if (!entries.contains(filename))
            throw InvalidValueError("The archive lacks the sound file \"" + filename + "\" of \"" + song->name + "\"");
    for (const auto& [filename, song] : files) {
        const fs::path place = userDataDir / filename;
        const std::string content = unpacking.read(entries.at(filename));
        restore->_files.push_back({disk.writeBeside(place, content, false), place, {}, false});
    }
    return restore;
}

} // namespace tollwick
