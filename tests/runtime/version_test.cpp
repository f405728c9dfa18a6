#include "runtime/errors.h"
#include "runtime/run_layout.h"
#include "runtime/version.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedCurrentPath;
using test::ScopedEnv;
using test::ScopedRunLayout;
using test::TempDir;

class ReleaseVersion : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path assets = tmp.path() / "share" / "tollwick-player" / "assets";
    ScopedRunLayout layout{detectRunLayout(tmp.path() / "bin" / "tollwick-player")};

    void writeVersionFile(const std::string& content) {
        fs::create_directories(assets);
        std::ofstream(assets / "version.info", std::ios::binary) << content;
    }
};

TEST_F(ReleaseVersion, IsTheVersionFileTrimmed) {
    writeVersionFile("\t 0.1.0-rc1 \r\n\n");
    EXPECT_EQ(getVersion(), "0.1.0-rc1");
}

TEST_F(ReleaseVersion, NeverAsksGit) {
    writeVersionFile("2.3.4\n");
    TempDir emptyPath;
    ScopedEnv path("PATH", emptyPath.path().string());
    ScopedCurrentPath cwd(tmp.path());
    EXPECT_EQ(getVersion(), "2.3.4");
}

TEST_F(ReleaseVersion, MissingVersionFileFailsNamingIt) {
    try {
        getVersion();
        FAIL() << "a release without version.info has a version";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("version.info"), std::string::npos) << error.what();
    }
}

TEST_F(ReleaseVersion, UnreadableVersionFileFails) {
    fs::create_directories(assets / "version.info");
    EXPECT_THROW(getVersion(), Error);
}

// A development run asks git about the working directory. Variables that would point git at
// another repository, or let it find one above the test's directory, are cleared.
class DevelopmentVersion : public ::testing::Test {
protected:
    TempDir tmp;
    ScopedEnv gitDir{"GIT_DIR", std::nullopt};
    ScopedEnv workTree{"GIT_WORK_TREE", std::nullopt};
    ScopedEnv ceiling{"GIT_CEILING_DIRECTORIES", tmp.path().parent_path().string()};
    ScopedEnv globalConfig{"GIT_CONFIG_GLOBAL", "/dev/null"};
    ScopedEnv systemConfig{"GIT_CONFIG_NOSYSTEM", "1"};

    void git(const std::string& arguments) {
        const std::string command = "git -C '" + tmp.path().string() +
                                    "' -c user.name=Test -c user.email=test@example.invalid " + arguments +
                                    " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
};

TEST_F(DevelopmentVersion, OutsideAGitWorkingCopyIsAQuestionMark) {
    ASSERT_FALSE(currentRunLayout().release);
    ScopedCurrentPath cwd(tmp.path());
    EXPECT_EQ(getVersion(), "?");
}

TEST_F(DevelopmentVersion, RepositoryWithoutCommitsIsAQuestionMark) {
    git("init -q");
    ScopedCurrentPath cwd(tmp.path());
    EXPECT_EQ(getVersion(), "?");
}

TEST_F(DevelopmentVersion, IsWhatGitDescribeSaysTrimmed) {
    git("init -q");
    std::ofstream(tmp.path() / "tracked.txt") << "one\n";
    git("add tracked.txt");
    git("commit -q -m first");
    ScopedCurrentPath cwd(tmp.path());

    const std::string untagged = getVersion();
    EXPECT_GE(untagged.size(), 4u) << untagged;
    EXPECT_EQ(untagged.find_first_not_of("0123456789abcdef"), std::string::npos) << untagged;

    git("tag -a v9.8 -m release");
    EXPECT_EQ(getVersion(), "v9.8");

    std::ofstream(tmp.path() / "tracked.txt") << "two\n";
    EXPECT_EQ(getVersion(), "v9.8-dirty");
}

TEST_F(DevelopmentVersion, GitThatCannotBeStartedFails) {
    ScopedEnv path("PATH", tmp.path().string());
    ScopedCurrentPath cwd(tmp.path());
    EXPECT_THROW(getVersion(), Error);
}

// The source tree may not be a repository, or have no commits yet; then "?" is right.
TEST_F(DevelopmentVersion, InTheSourceTreeIsNonEmptyAndTrimmed) {
    ScopedEnv noCeiling("GIT_CEILING_DIRECTORIES", std::nullopt);
    ScopedCurrentPath cwd(TOLLWICK_SOURCE_DIR);
    const std::string version = getVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_of(" \t\r\n"), std::string::npos) << version;
    const std::string hasCommit =
        std::string("git -C '") + TOLLWICK_SOURCE_DIR + "' rev-parse -q --verify HEAD >/dev/null 2>&1";
    if (std::system(hasCommit.c_str()) == 0) {
        EXPECT_NE(version, "?");
    }
}

} // namespace
} // namespace tollwick
