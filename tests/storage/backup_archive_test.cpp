// A backup archive written to a file and restored from it into another directory, whose name is
// not plain ASCII: the path reaches the zip library as UTF-8 on every platform, and the restored
// sound file replaces one already there.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "storage/atomic_file.h"
#include "storage/backup.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;
namespace fs = std::filesystem;

namespace {

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(BackupArchive, ARoundTripThroughAFileReplacesTheSoundFilesOfAnotherDirectory) {
    TempDir from;
    DB db = from_dict<DB>(Json::parse(R"({"dbVersion": 2, "songs": {"a": {"name": "Gong", "filename": "a.wav"}}})"));
    const std::string sound = std::string("RIFF\0\0\0\0WAVE", 12) + std::string(3000, '\x7f');
    writeBytes(from.path() / "a.wav", sound);
    const fs::path archive = from.path() / "backup.zip";
    writeBackup(archive, db, Cache{}, from.path());

    TempDir to;
    const fs::path school = to.path() / fs::path(u8"Schule M\u00fcnchen");
    fs::create_directory(school);
    writeBytes(school / "a.wav", "an older sound");
    const fs::path copied = school / fs::path(u8"Sicherung \u00e4.zip");
    fs::copy_file(archive, copied);

    const auto restore = prepareRestoreFromFile(copied, school);
    EXPECT_EQ(readWholeFile(school / "a.wav").value_or(""), "an older sound")
        << "nothing is in place before it is asked for";
    restore->placeAudioFiles();
    EXPECT_EQ(readWholeFile(school / "a.wav").value_or(""), sound);
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

} // namespace
