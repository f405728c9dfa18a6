#pragma once
// What the end records of a zip archive claim, read from the archive's tail before a zip library
// is let at it. libzip's zip_open reads and allocates the whole central directory that the end
// record describes (some 400 bytes per entry), so an archive of a million empty entries, 84 MB,
// takes hundreds of megabytes before any entry can be looked at. Reading the claims first lets the
// caller refuse such an archive with a few kilobytes read.
#include <cstdint>
#include <functional>
#include <string>

namespace tollwick {

struct ZipClaims {
    std::uint64_t entries = 0;        // the most entries any end record claims
    std::uint64_t directoryBytes = 0; // the largest central directory any of them claims
};

// Reads `length` bytes of the archive from `offset` (fewer where it ends).
using ArchiveBytes = std::function<std::string(std::uint64_t offset, std::size_t length)>;

// The largest claims of every record in the archive's last 64 KiB that a zip reader could take for
// its end record: each "PK\5\6" signature whose central directory would lie inside the archive
// (nothing else could be read), with the zip64 end record its locator points to, if there is one.
// Reads the tail once and 76 bytes more for each zip64 locator.
ZipClaims claimsOfEndRecords(std::uint64_t archiveSize, const ArchiveBytes& read);

} // namespace tollwick
