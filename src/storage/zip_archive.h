#pragma once
// Zip archives through libzip: reading one held in memory or in a file, writing one to a file. Every failure
// is an Error whose text says what went wrong.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/errors.h"

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;
typedef struct zip_error zip_error_t;

namespace tollwick {

// An entry that unpacks to more bytes than were allowed for it.
class ZipEntryTooLarge : public Error {
public:
    using Error::Error;
};

// An archive whose end records claim more entries than the reader takes, or a central directory
// larger than that many entries need.
class ZipTooManyEntries : public Error {
public:
    using Error::Error;
};

class ZipReader {
public:
    struct Entry {
        std::string name;          // as the archive writes it
        std::uint64_t claimedSize; // what the archive says it unpacks to, which need not be true
    };

    // What one entry takes in the central directory at most: 46 bytes, a file name and a few
    // extra fields (times, sizes for zip64). Names of the files this system keeps are short.
    static constexpr std::uint64_t MAX_DIRECTORY_BYTES_PER_ENTRY = 1024;

    // Opens the archive in `bytes`, which must outlive the reader. ZipTooManyEntries, before the
    // zip library reads the central directory, when the archive claims more than `maxEntries`
    // entries (see storage/zip_end_records.h); an Error when it is not a zip archive that can be read.
    ZipReader(std::string_view bytes, std::size_t maxEntries);
    ZipReader(const std::string& bytes, std::size_t maxEntries) : ZipReader(std::string_view(bytes), maxEntries) {}
    // Opens the archive file `file`, read as entries are unpacked; failures as above.
    ZipReader(const std::filesystem::path& file, std::size_t maxEntries);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::vector<Entry>& entries() const noexcept { return _entries; }

    // Unpacks entry `index` whole. Stops and fails with ZipEntryTooLarge as soon as it yields more
    // than `maxBytes`, whatever the archive claims; with an Error when its data is damaged.
    std::string read(std::size_t index, std::uint64_t maxBytes);

private:
    // Opens the archive of `source` (null: `error` says why) and lists its entries.
    void open(zip_source_t* source, zip_error_t* error);

    zip_t* _zip = nullptr;
    std::vector<Entry> _entries;
};

class ZipWriter {
public:
    // Starts a new archive at `path`, replacing any file there; written by close().
    explicit ZipWriter(const std::filesystem::path& path);
    ~ZipWriter(); // discards an archive not closed
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds `content` under `name`, compressed.
    void addText(const std::string& name, std::string content);
    // Adds the file at `file` under `name` as it is (audio does not compress); it is read by close().
    void addFile(const std::string& name, const std::filesystem::path& file);
    // Writes the archive.
    void close();

private:
    zip_t* _zip = nullptr;
    std::filesystem::path _path;
    std::vector<std::unique_ptr<std::string>> _texts; // read by close()
};

} // namespace tollwick
