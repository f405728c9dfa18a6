// A backup archive written to a file and restored from it into another directory, whose name is
// not plain ASCII: the path reaches the zip library as UTF-8 on every platform, and the restored
// sound file replaces one already there, which comes back when the placing is undone. And what an
// archive's end records claim, read before the zip library reads the central directory.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "storage/atomic_file.h"
#include "storage/backup.h"
#include "storage/zip_archive.h"
#include "support/hand_made_zip.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace tollwick::test;
namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(BackupArchive, ARoundTripThroughAFileReplacesTheSoundFilesOfAnotherDirectory) {
    TempDir from;
    const std::string a = "0f8fad5b-d9cb-469f-a165-70867728950e.wav";
    DB db = from_dict<DB>(Json{{"dbVersion", 2}, {"songs", {{"a", {{"name", "Gong"}, {"filename", a}}}}}});
    const std::string sound = std::string("RIFF\0\0\0\0WAVE", 12) + std::string(3000, '\x7f');
    writeBytes(from.path() / a, sound);
    const fs::path archive = from.path() / "backup.zip";
    writeBackup(archive, db, Cache{}, from.path());

    TempDir to;
    const fs::path school = to.path() / fs::path(u8"Schule M\u00fcnchen");
    fs::create_directory(school);
    writeBytes(school / a, "an older sound");
    const fs::path copied = school / fs::path(u8"Sicherung \u00e4.zip");
    fs::copy_file(archive, copied);

    const auto files = [&] { return std::distance(fs::directory_iterator(school), {}); };
    prepareRestoreFromFile(copied, school)->placeAudioFiles(); // and gone, not kept: undone
    EXPECT_EQ(readWholeFile(school / a).value_or(""), "an older sound");
    EXPECT_EQ(files(), 2) << "nothing unpacked or kept aside stays behind";

    const auto restore = prepareRestoreFromFile(copied, school);
    EXPECT_EQ(readWholeFile(school / a).value_or(""), "an older sound") << "nothing is in place before it is asked for";
    restore->placeAudioFiles();
    restore->keepPlacedFiles();
    EXPECT_EQ(readWholeFile(school / a).value_or(""), sound);
    EXPECT_EQ(files(), 2);
    EXPECT_EQ(restore->db.songs.get("a").name, "Gong");
    EXPECT_TRUE(restore->hasCache);

    // What is not a zip archive is refused by what it is.
    writeBytes(copied, "not a zip");
    try {
        prepareRestoreFromFile(copied, school);
        FAIL() << "a file that is no archive was taken";
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "The file is not a zip archive that can be read: Not a zip archive");
    }
}

// Each archive is refused by what its end records claim, or opened: the zip64 record counts where
// it is, and a signature in the comment whose directory lies outside the archive does not.
TEST(BackupArchive, ArchivesClaimingMoreEntriesThanAllowedAreRefusedBeforeTheyAreListed) {
    std::string falseEnd = "PK\5\6";
    falseEnd += std::string("\0\0\0\0\x60\xEA\x60\xEA", 8) + std::string(4, '\x10') + std::string(4, '\xF0') +
                std::string(2, '\0'); // 60,000 entries in a directory beyond the end
    const struct {
        const char* what;
        HandMadeZip zip;
        std::size_t maxEntries;
        int listed; // -1: refused
    } cases[] = {
        {"as many entries as claimed", {.entries = 3, .plainCount = 3}, 3, 3},
        {"more claimed than allowed", {.entries = 3, .plainCount = 6000}, 5000, -1},
        {"a zip64 record claiming a million", {.entries = 3, .plainCount = 3, .zip64Count = 1'000'000}, 5000, -1},
        {"the plain record sending to the zip64 one", {.entries = 3, .plainCount = 0xFFFF, .zip64Count = 3}, 5000, 3},
        {"a false end record in the comment", {.entries = 3, .plainCount = 3, .comment = falseEnd}, 5000, 3},
        {"a directory larger than its entries need", {.entries = 2, .nameLength = 1500, .plainCount = 2}, 2, -1},
    };
    for (const auto& c : cases) {
        const std::string bytes = handMadeZip(c.zip);
        try {
            EXPECT_EQ(static_cast<int>(ZipReader(bytes, c.maxEntries).entries().size()), c.listed) << c.what;
        } catch (const ZipTooManyEntries&) {
            EXPECT_EQ(c.listed, -1) << c.what;
        }
    }
}

} // namespace
