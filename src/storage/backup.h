#pragma once
// Backups of an installation: one zip archive with the database ("_db.json"), the cache
// ("cache.json") and every audio file of the user-data directory that the database refers to.
// The password store is never part of one.
//
// A restore checks the whole archive before it changes anything: it holds at most
// MAX_BACKUP_ENTRIES entries, the database must decode by the rules of start-up, every sound file
// it names must have a name this system gives sound files (model/audio_file_name.h) and be in the
// archive or be a built-in signal, no entry may name a path outside the data directory, and what
// is unpacked stays bounded whatever the archive claims. Only then is it committed, and a commit
// that fails at any step puts every file and document back as it was.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "storage/documents.h"
#include "storage/files.h"

namespace tollwick {

class ZipReader;
struct Documents;

inline constexpr const char* DB_FILE_NAME = "_db.json";
inline constexpr const char* CACHE_FILE_NAME = "cache.json";

// The most entries a backup holds: the two documents and the sound files of the songs.
inline constexpr std::size_t MAX_BACKUP_ENTRIES = 5000;

// How much a restore unpacks at most: in all, and for one entry (no audio file larger than an
// upload may be can have come from this system); and how many entries the archive may have.
struct RestoreLimits {
    std::uint64_t total = std::uint64_t{1} << 30;
    std::uint64_t entry = std::uint64_t{100} << 20;
    std::size_t entries = MAX_BACKUP_ENTRIES;
};

// Writes a backup of `db` and `cache`, with the audio files they refer to from `userDataDir`, to
// the new zip file `archive`. InvalidValueError naming the song when a file it needs is missing or
// is not a sound file of this system, or when there are more than a backup holds; Error when the
// archive cannot be written.
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
    // Removes the unpacked files that were not put in place, and undoes a placing not kept.
    ~PreparedRestore();

    // Puts every unpacked audio file in place, each by an atomic rename. A file it replaces stays
    // in the data directory under a temporary name (which start-up clears away) until
    // keepPlacedFiles or undoPlacing. When a step fails, undoes what it placed and rethrows its Error.
    void placeAudioFiles();
    // Puts back the files that placeAudioFiles replaced and removes those it added; what cannot
    // be put back is logged.
    void undoPlacing() noexcept;
    // Lets go of the replaced files: the placed ones stay.
    void keepPlacedFiles() noexcept;

private:
    friend std::unique_ptr<PreparedRestore> prepareRestore(ZipReader&, const std::filesystem::path&,
                                                           const RestoreLimits&, Files&);
    struct File {
        std::filesystem::path unpacked;
        std::filesystem::path place;
        std::filesystem::path replaced; // the file that was at `place`, kept aside; empty: none
        bool placed = false;
    };
    std::vector<File> _files;
    Files* _disk = &systemFiles(); // where the files are
};

// Reads and checks the backup archive `archive` for the data directory `userDataDir`, and unpacks
// its audio files into temporary files there, on `disk`, which the restore's later steps use too.
// A refusal is an InvalidValueError with the reason as the interface shows it, and leaves nothing
// behind; an Error means the disk refused.
std::unique_ptr<PreparedRestore> prepareRestore(std::string_view archive, const std::filesystem::path& userDataDir,
                                                const RestoreLimits& limits = {}, Files& disk = systemFiles());
// The same for the archive file `archiveFile`, which is read as its entries are unpacked.
std::unique_ptr<PreparedRestore> prepareRestoreFromFile(const std::filesystem::path& archiveFile,
                                                        const std::filesystem::path& userDataDir,
                                                        const RestoreLimits& limits = {}, Files& disk = systemFiles());
// The same for an archive already opened.
std::unique_ptr<PreparedRestore> prepareRestore(ZipReader& reader, const std::filesystem::path& userDataDir,
                                                const RestoreLimits& limits = {}, Files& disk = systemFiles());

// Makes the prepared restore the system's state: puts its audio files in place, replaces db and
// cache in memory under the document mutex (the password store stays), and writes the documents
// with `saveDocumentsNow`, which answers whether every one could be written and must keep to one
// save at a time (DocumentWriter::saveNow). When any step fails, everything is put back: the
// files, the documents in memory and, saved again, the documents on disk; then an Error says
// what failed.
void commitRestore(PreparedRestore& restore, Documents& docs, const std::function<bool()>& saveDocumentsNow);

} // namespace tollwick
