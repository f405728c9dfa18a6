#include "runtime/platform.h"
#include "runtime/run_layout.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedCurrentPath;
using test::ScopedRunLayout;
using test::TempDir;

const fs::path CHECKOUT = fs::canonical(TOLLWICK_SOURCE_DIR);
const fs::path BUILD_TREE = fs::canonical(TOLLWICK_BINARY_DIR);
const RunLayout DEVELOPMENT{false, CHECKOUT, CHECKOUT / "src"};

TEST(ExecutablePath, IsThisTestProgramResolved) {
    const fs::path self = executablePath();
    EXPECT_TRUE(self.is_absolute());
    EXPECT_EQ(self.filename(), "test-runtime");
    EXPECT_EQ(fs::canonical(self), self);
}

TEST(RunLayoutDetection, ProgramInsideTheBuildTreeRunsFromTheSourceTree) {
    EXPECT_EQ(detectRunLayout(executablePath()), DEVELOPMENT);
    EXPECT_EQ(detectRunLayout(BUILD_TREE / "tollwick-player"), DEVELOPMENT);
}

TEST(RunLayoutDetection, BuildTreeReachedThroughALinkOrARelativePathIsStillDevelopment) {
    TempDir tmp;
    fs::create_directory_symlink(BUILD_TREE, tmp.path() / "linked-build");
    EXPECT_EQ(detectRunLayout(tmp.path() / "linked-build" / "tollwick-player"), DEVELOPMENT);

    ScopedCurrentPath cwd(BUILD_TREE);
    EXPECT_EQ(detectRunLayout("tollwick-player"), DEVELOPMENT);
}

TEST(RunLayoutDetection, InstalledProgramFindsItsResourcesUnderShareOfItsPrefix) {
    TempDir tmp;
    const RunLayout layout = detectRunLayout(tmp.path() / "prefix" / "bin" / "tollwick-player");
    EXPECT_EQ(layout, (RunLayout{true, tmp.path() / "prefix" / "share" / "tollwick-player", {}}));
}

TEST(RunLayoutDetection, InstalledProgramThroughALinkedPrefixGetsTheResolvedRoot) {
    TempDir tmp;
    fs::create_directories(tmp.path() / "real" / "bin");
    fs::create_directory_symlink(tmp.path() / "real", tmp.path() / "linked");
    EXPECT_EQ(detectRunLayout(tmp.path() / "linked" / "bin" / "tollwick-player").assetRoot,
              tmp.path() / "real" / "share" / "tollwick-player");
}

// A directory whose name merely begins with the build tree's name is not inside it.
TEST(RunLayoutDetection, SiblingOfTheBuildTreeIsARelease) {
    const fs::path sibling = BUILD_TREE.parent_path() / (BUILD_TREE.filename().string() + "-stage");
    const RunLayout layout = detectRunLayout(sibling / "bin" / "tollwick-player");
    EXPECT_TRUE(layout.release);
    EXPECT_EQ(layout.assetRoot, sibling / "share" / "tollwick-player");
}

TEST(CurrentRunLayout, IsTheDetectedOneUnlessATestReplacesIt) {
    EXPECT_EQ(currentRunLayout(), DEVELOPMENT);
    const RunLayout other{true, "/elsewhere", {}};
    {
        ScopedRunLayout replaced(other);
        EXPECT_EQ(currentRunLayout(), other);
    }
    EXPECT_EQ(currentRunLayout(), DEVELOPMENT);
}

} // namespace
} // namespace tollwick
