#include "runtime/paths.h"
#include "runtime/run_layout.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedCurrentPath;
using test::ScopedEnv;
using test::ScopedRunLayout;
using test::TempDir;

const std::string SEPARATOR(1, fs::path::preferred_separator);

void touch(const fs::path& file) {
    std::ofstream(file) << "x";
}

// The directory named by TOLLWICK_DATA_DIR, as services and tests use it.
class ConfiguredUserData : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dir = tmp.path() / "nested" / "data";
    ScopedEnv dataDir{"TOLLWICK_DATA_DIR", dir.string()};
};

TEST_F(ConfiguredUserData, UserDataPathDoesNotCreateTheDirectory) {
    EXPECT_EQ(getUserDataPath(), dir.string());
    EXPECT_FALSE(fs::exists(dir));
}

TEST_F(ConfiguredUserData, UserFilePathWithoutANameCreatesTheDirectoryAndEndsInASeparator) {
    EXPECT_EQ(getUserFilePath(), dir.string() + SEPARATOR);
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(getUserFilePath(), dir.string() + SEPARATOR);
}

TEST_F(ConfiguredUserData, UserFilePathJoinsTheName) {
    EXPECT_EQ(getUserFilePath("song.mp3"), (dir / "song.mp3").string());
    EXPECT_EQ(getUserFilePath("_db.json"), (dir / "_db.json").string());
}

TEST_F(ConfiguredUserData, UserFilePathFailsWhenTheDirectoryCannotBeMade) {
    touch(tmp.path() / "plain-file");
    ScopedEnv blocked("TOLLWICK_DATA_DIR", (tmp.path() / "plain-file" / "data").string());
    EXPECT_THROW(getUserFilePath("x.mp3"), fs::filesystem_error);
}

TEST_F(ConfiguredUserData, TrailingSeparatorLinkAndRelativePathAreNormalised) {
    {
        ScopedEnv trailing("TOLLWICK_DATA_DIR", dir.string() + SEPARATOR);
        EXPECT_EQ(getUserDataPath(), dir.string());
        EXPECT_EQ(getUserFilePath(), dir.string() + SEPARATOR);
    }
    {
        fs::create_directory_symlink(tmp.path() / "nested", tmp.path() / "linked");
        ScopedEnv linked("TOLLWICK_DATA_DIR", (tmp.path() / "linked" / "data").string());
        EXPECT_EQ(getUserDataPath(), dir.string());
        EXPECT_EQ(getUserFilePath("a.wav"), (dir / "a.wav").string());
    }
    {
        ScopedCurrentPath cwd(tmp.path());
        ScopedEnv relative("TOLLWICK_DATA_DIR", "nested/data");
        EXPECT_EQ(getUserDataPath(), dir.string());
    }
}

TEST_F(ConfiguredUserData, RemoveUserFileDeletesOnlyThatFile) {
    touch(getUserFilePath("old.mp3"));
    touch(getUserFilePath("keep.mp3"));
    removeUserFile("old.mp3");
    EXPECT_FALSE(fs::exists(dir / "old.mp3"));
    EXPECT_TRUE(fs::exists(dir / "keep.mp3"));
}

TEST_F(ConfiguredUserData, RemoveUserFileOfAMissingFileFailsNamingIt) {
    try {
        removeUserFile("missing.mp3");
        FAIL() << "removing a missing file succeeded";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path1(), dir / "missing.mp3");
        EXPECT_NE(std::string(error.what()).find("missing.mp3"), std::string::npos) << error.what();
    }
}

TEST_F(ConfiguredUserData, RemoveUserFileLeavesDirectoriesAlone) {
    fs::create_directories(dir / "sub");
    EXPECT_THROW(removeUserFile("sub"), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

// Without TOLLWICK_DATA_DIR the run layout decides.
class DefaultUserData : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path home = tmp.path() / "home";
    ScopedEnv dataDir{"TOLLWICK_DATA_DIR", std::nullopt};
    ScopedEnv homeEnv{"HOME", home.string()};
};

TEST_F(DefaultUserData, DevelopmentRunKeepsThemInTheSourceTreeNotTheProfile) {
    EXPECT_FALSE(isRelease());
    EXPECT_EQ(getUserDataPath(), (fs::canonical(TOLLWICK_SOURCE_DIR) / "userdata").string());
}

TEST_F(DefaultUserData, DevelopmentRunCreatesUserdataBesideTheCodeDirectory) {
    fs::create_directories(tmp.path() / "tree" / "src");
    ScopedRunLayout layout(RunLayout{false, tmp.path() / "tree", tmp.path() / "tree" / "src"});
    EXPECT_EQ(getUserDataPath(), (tmp.path() / "tree" / "userdata").string());
    EXPECT_EQ(getUserFilePath(), (tmp.path() / "tree" / "userdata").string() + SEPARATOR);
    EXPECT_TRUE(fs::is_directory(tmp.path() / "tree" / "userdata"));
}

TEST_F(DefaultUserData, EmptyDataDirVariableCountsAsUnset) {
    ScopedEnv empty("TOLLWICK_DATA_DIR", "");
    ScopedRunLayout layout(RunLayout{false, tmp.path() / "tree", tmp.path() / "tree" / "src"});
    EXPECT_EQ(getUserDataPath(), (tmp.path() / "tree" / "userdata").string());
}

class ReleaseUserData : public DefaultUserData {
protected:
    ScopedRunLayout layout{detectRunLayout(tmp.path() / "prefix" / "bin" / "tollwick-player")};
};

TEST_F(ReleaseUserData, AreAHiddenDirectoryInTheHomeDirectory) {
    ASSERT_TRUE(isRelease());
    const fs::path expected = home / ".TollwickPlayer";
    EXPECT_EQ(getUserDataPath(), expected.string());
    EXPECT_FALSE(fs::exists(home));
    EXPECT_EQ(getUserFilePath(), expected.string() + SEPARATOR);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(getUserFilePath("_db.json"), (expected / "_db.json").string());
}

TEST_F(ReleaseUserData, WithoutHomeTheAccountsHomeDirectoryIsUsed) {
    const passwd* account = getpwuid(getuid());
    if (account == nullptr || account->pw_dir == nullptr || *account->pw_dir == '\0') {
        GTEST_SKIP() << "this account has no home directory entry";
    }
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(getUserDataPath(), fs::weakly_canonical(fs::path(account->pw_dir) / ".TollwickPlayer").string());
}

TEST_F(ReleaseUserData, DataDirVariableStillWins) {
    ScopedEnv configured("TOLLWICK_DATA_DIR", (tmp.path() / "service").string());
    EXPECT_EQ(getUserDataPath(), (tmp.path() / "service").string());
}

} // namespace
} // namespace tollwick
