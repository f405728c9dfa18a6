// The file and digest primitives that uploads and start-up build on, on every platform.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;

namespace {

TEST(Md5Digest, OfPiecesEqualsTheDigestOfTheWhole) {
    Md5Digest digest;
    for (const char* piece : {"a", "", "bc"})
        digest.update(piece);
    EXPECT_EQ(digest.hex(), md5Hex("abc"));
    digest.update("d");
    EXPECT_EQ(digest.hex(), md5Hex("abcd"));
}

TEST(TemporaryFile, TakesItsNameOnlyWhenCommittedAndIsRemovedOtherwise) {
    TempDir dir;
    {
        TemporaryFile abandoned(dir.path(), "upload-");
        abandoned.append("half");
        EXPECT_TRUE(std::filesystem::exists(abandoned.path()));
        EXPECT_TRUE(abandoned.path().filename().string().starts_with(".upload-"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    {
        TemporaryFile done(dir.path(), "upload-");
        done.append("all ");
        done.append("of it");
        done.commitAs(dir.path() / "song.mp3");
    }
    std::ifstream in(dir.path() / "song.mp3");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "all of it");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ReadFileIfPresent, TellsAMissingFileFromOneThatCannotBeRead) {
    TempDir dir;
    EXPECT_EQ(readFileIfPresent(dir.path() / "none").outcome, FileRead::Outcome::MISSING);
    std::filesystem::create_directory(dir.path() / "a directory");
    const FileRead directory = readFileIfPresent(dir.path() / "a directory");
    EXPECT_EQ(directory.outcome, FileRead::Outcome::UNREADABLE);
    EXPECT_FALSE(directory.reason.empty()); // the system's own words
    std::ofstream(dir.path() / "file") << "text";
    const FileRead file = readFileIfPresent(dir.path() / "file");
    EXPECT_EQ(file.outcome, FileRead::Outcome::READ);
    EXPECT_EQ(file.content, "text");
}

} // namespace
