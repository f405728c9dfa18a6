#include "storage/zip_end_records.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace tollwick {

namespace {

// The records at the end of a zip archive, all numbers little-endian:
//   end of central directory, 22 bytes and a comment of up to 65535:
//     "PK\5\6", disk (2), directory's disk (2), entries on this disk (2), entries (2),
//     directory size (4), directory offset (4), comment length (2);
//   zip64 end locator, 20 bytes just before it when there is a zip64 end record:
//     "PK\6\7", its disk (4), the zip64 end record's offset (8), disks (4);
//   zip64 end of central directory, 56 bytes and more:
//     "PK\6\6", record size (8), versions (2 + 2), disks (4 + 4), entries on this disk (8),
//     entries (8), directory size (8), directory offset (8).
// A 16-bit or 32-bit field of all ones says that the zip64 record holds the value.
constexpr std::string_view END = "PK\5\6";
constexpr std::string_view ZIP64_LOCATOR = "PK\6\7";
constexpr std::string_view ZIP64_END = "PK\6\6";
constexpr std::size_t END_SIZE = 22;
constexpr std::size_t ZIP64_LOCATOR_SIZE = 20;
constexpr std::size_t ZIP64_END_SIZE = 56;
// As far back as a reader looks for the end record: the longest comment after it, and the zip64
// locator before it.
constexpr std::size_t TAIL_SIZE = END_SIZE + 0xFFFF + ZIP64_LOCATOR_SIZE;

std::uint64_t little(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Directory {
    std::uint64_t entriesOnDisk = 0;
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

// Counts a record's claims, unless its central directory could not lie inside the archive: no
// reader can take such a record for the real one, and counting it would refuse good archives whose
// last bytes happen to hold the signature.
void count(ZipClaims& claims, const Directory& directory, std::uint64_t archiveSize) {
    if (directory.offset > archiveSize || directory.size > archiveSize - directory.offset)
        return;
    claims.entries = std::max({claims.entries, directory.entriesOnDisk, directory.entries});
    claims.directoryBytes = std::max(claims.directoryBytes, directory.size);
}

} // namespace

ZipClaims claimsOfEndRecords(std::uint64_t archiveSize, const ArchiveBytes& read) {
    ZipClaims claims;
    const std::uint64_t tailStart = archiveSize - std::min<std::uint64_t>(archiveSize, TAIL_SIZE);
    const std::string tail = read(tailStart, static_cast<std::size_t>(archiveSize - tailStart));
    const auto bytesAt = [&](std::uint64_t offset, std::size_t length) {
        if (offset >= tailStart && offset - tailStart + length <= tail.size())
            return tail.substr(static_cast<std::size_t>(offset - tailStart), length);
        return read(offset, length);
    };
    // The zip64 end record whose locator lies just before the end record at `end`, if there is one.
    const auto zip64Before = [&](std::uint64_t end) -> std::optional<Directory> {
        if (end < ZIP64_LOCATOR_SIZE)
            return std::nullopt;
        const std::string locator = bytesAt(end - ZIP64_LOCATOR_SIZE, ZIP64_LOCATOR_SIZE);
        if (locator.size() < ZIP64_LOCATOR_SIZE || !locator.starts_with(ZIP64_LOCATOR))
            return std::nullopt;
        const std::uint64_t at = little(locator, 8, 8);
        if (archiveSize < ZIP64_END_SIZE || at > archiveSize - ZIP64_END_SIZE)
            return std::nullopt;
        const std::string record = bytesAt(at, ZIP64_END_SIZE);
        if (record.size() < ZIP64_END_SIZE || !record.starts_with(ZIP64_END))
            return std::nullopt;
        return Directory{little(record, 24, 8), little(record, 32, 8), little(record, 40, 8), little(record, 48, 8)};
    };

    for (std::size_t at = tail.find(END); at != std::string::npos && at + END_SIZE <= tail.size();
         at = tail.find(END, at + 1)) {
        Directory plain{little(tail, at + 8, 2), little(tail, at + 10, 2), little(tail, at + 12, 4),
                        little(tail, at + 16, 4)};
        if (const std::optional<Directory> zip64 = zip64Before(tailStart + at)) {
            count(claims, *zip64, archiveSize);
            // A reader may take each field from either record: from the zip64 one where the plain
            // one says so, else from the plain one.
            const auto take = [](std::uint64_t& field, std::uint64_t marker, std::uint64_t wide) {
                if (field == marker)
                    field = wide;
            };
            take(plain.entriesOnDisk, 0xFFFF, zip64->entriesOnDisk);
            take(plain.entries, 0xFFFF, zip64->entries);
            take(plain.size, 0xFFFFFFFF, zip64->size);
            take(plain.offset, 0xFFFFFFFF, zip64->offset);
        }
        count(claims, plain, archiveSize);
    }
    return claims;
}

} // namespace tollwick
