#include "storage/backup.h"

#include <map>
#include <set>

#include "model/json_text.h"
#include "runtime/paths.h"
#include "storage/atomic_file.h"
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

// The songs whose files lie in the data directory, by file name.
std::map<std::string, const AudioAsset*> userFilesOf(const DB& db) {
    std::map<std::string, const AudioAsset*> files;
    for (const auto& [id, song] : db.songs) {
        if (song.storageCategory == AudioAssetCategory::BUILT_IN_SIGNAL)
            continue;
        if (!isPlainFileName(song.filename))
            throw InvalidValueError("The song \"" + song.name + "\" names the file \"" + song.filename +
                                    "\", which is not a file of the data directory");
        files.emplace(song.filename, &song);
    }
    return files;
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
    const auto files = userFilesOf(db);
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
    for (const auto& [unpacked, place] : _files) {
        std::error_code ignored;
        fs::remove(unpacked, ignored);
    }
}

void PreparedRestore::placeAudioFiles() {
    while (!_files.empty()) {
        const auto [unpacked, place] = _files.back();
        _files.pop_back();
        moveIntoPlace(unpacked, place);
    }
}

namespace {
template <typename Archive>
std::unique_ptr<ZipReader> openArchive(const Archive& archive) {
    try {
        return std::make_unique<ZipReader>(archive);
    } catch (const Error& e) {
        throw InvalidValueError(std::string("The file is not a zip archive that can be read: ") + e.what());
    }
}
} // namespace

std::unique_ptr<PreparedRestore> prepareRestore(std::string_view archive, const fs::path& userDataDir,
                                                const RestoreLimits& limits) {
    return prepareRestore(*openArchive(archive), userDataDir, limits);
}

std::unique_ptr<PreparedRestore> prepareRestoreFromFile(const fs::path& archiveFile, const fs::path& userDataDir,
                                                        const RestoreLimits& limits) {
    return prepareRestore(*openArchive(archiveFile), userDataDir, limits);
}

std::unique_ptr<PreparedRestore> prepareRestore(ZipReader& reader, const fs::path& userDataDir,
                                                const RestoreLimits& limits) {
    const std::map<std::string, std::size_t> entries = checkedEntries(reader, limits);
    BoundedUnpacking unpacking(reader, limits);

    auto restore = std::make_unique<PreparedRestore>();
    const auto db = entries.find(DB_FILE_NAME);
    if (db == entries.end())
        throw InvalidValueError(std::string("The archive holds no database (") + DB_FILE_NAME + ")");
    restore->db = decodeDatabase(unpacking.read(db->second));
    if (const auto cache = entries.find(CACHE_FILE_NAME); cache != entries.end()) {
        restore->cache = decodeCache(unpacking.read(cache->second));
        restore->hasCache = true;
    }

    const auto files = userFilesOf(restore->db);
    for (const auto& [id, song] : restore->db.songs) {
        if (song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL)
            continue;
        std::error_code error;
        if (!isPlainFileName(song.filename) || !fs::is_regular_file(getAssetPath(song.filename), error))
            throw InvalidValueError("\"" + song.name + "\" is a built-in signal that this program does not have (" +
                                    song.filename + ")");
    }
    for (const auto& [filename, song] : files)
        if (!entries.contains(filename))
            throw InvalidValueError("The archive lacks the sound file \"" + filename + "\" of \"" + song->name + "\"");
    for (const auto& [filename, song] : files) {
        const fs::path place = userDataDir / filename;
        const std::string content = unpacking.read(entries.at(filename));
        restore->_files.emplace_back(writeTemporaryBeside(place, content), place);
    }
    return restore;
}

} // namespace tollwick
