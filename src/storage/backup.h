#pragma once
// Backups of an installation: one zip archive with the database ("_db.json"), the cache
// ("cache.json") and every audio file of the user-data directory that the database refers to.
// The password store is never part of one.
//
// A restore checks the whole archive before it changes anything: the database must decode by the
// rules of start-up, every audio file it refers to must be in the archive or be a built-in signal,
// no entry may name a path outside the data directory, and what is unpacked stays bounded whatever
// the archive claims. Only then are the audio files put in place, each atomically; the documents
// follow through their usual writer.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/documents.h"

namespace tollwick {

class ZipReader;

inline constexpr const char* DB_FILE_NAME = "_db.json";
inline constexpr const char* CACHE_FILE_NAME = "cache.json";

// How much a restore unpacks at most: in all, and for one entry (no audio file larger than an
// upload may be can have come from this system).
struct RestoreLimits {
    std::uint64_t total = std::uint64_t{1} << 30;
    std::uint64_t entry = std::uint64_t{100} << 20;
};

// Writes a backup of `db` and `cache`, with the audio files they refer to from `userDataDir`, to
// the new zip file `archive`. InvalidValueError naming the song when a file it needs is missing or
// lies outside the data directory; Error when the archive cannot be written.
void writeBackup(const std::filesystem::path& archive, const DB& db, const Cache& cache,
                 const std::filesystem::path& userDataDir);

// A backup that passed every check, its audio files unpacked beside their places.
class PreparedRestore {
public:
    DB db;       // decoded as at start-up, the built-in signals ensured
    Cache cache; // when the archive holds one
    bool hasCache = false;

    PreparedRestore() = default;
    PreparedRestore(const PreparedRestore&) = delete;
    PreparedRestore& operator=(const PreparedRestore&) = delete;
    // Removes the unpacked files that were not put in place.
    ~PreparedRestore();

    // Puts every unpacked audio file in place, each by an atomic rename over any file there.
    void placeAudioFiles();

private:
    friend std::unique_ptr<PreparedRestore> prepareRestore(ZipReader&, const std::filesystem::path&,
                                                           const RestoreLimits&);
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> _files; // unpacked, place
};

// Reads and checks the backup archive `archive` for the data directory `userDataDir`, and unpacks
// its audio files into temporary files there. A refusal is an InvalidValueError with the reason
// as the interface shows it, and leaves nothing behind; an Error means the disk refused.
std::unique_ptr<PreparedRestore> prepareRestore(std::string_view archive, const std::filesystem::path& userDataDir,
                                                const RestoreLimits& limits = {});
// The same for the archive file `archiveFile`, which is read as its entries are unpacked.
std::unique_ptr<PreparedRestore> prepareRestoreFromFile(const std::filesystem::path& archiveFile,
                                                        const std::filesystem::path& userDataDir,
                                                        const RestoreLimits& limits = {});
// The same for an archive already opened.
std::unique_ptr<PreparedRestore> prepareRestore(ZipReader& reader, const std::filesystem::path& userDataDir,
                                                const RestoreLimits& limits = {});

} // namespace tollwick
