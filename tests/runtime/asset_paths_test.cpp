#include "runtime/paths.h"
#include "runtime/run_layout.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedRunLayout;
using test::TempDir;

const fs::path SOURCE_TREE = fs::canonical(TOLLWICK_SOURCE_DIR);

// This test program lives in the build tree, so without a replaced layout it is a development run.
TEST(DevelopmentAssets, ComeFromTheSourceTree) {
    EXPECT_FALSE(isRelease());
    EXPECT_EQ(getAssetPath("bell.mp3"), (SOURCE_TREE / "assets" / "bell.mp3").string());
    EXPECT_EQ(getAssetPath("version.info"), (SOURCE_TREE / "assets" / "version.info").string());
    EXPECT_EQ(getHtmlDir(), (SOURCE_TREE / "web-ui" / "dist").string());
}

class ReleaseAssets : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path resources = tmp.path() / "prefix" / "share" / "tollwick-player";
    ScopedRunLayout layout{detectRunLayout(tmp.path() / "prefix" / "bin" / "tollwick-player")};
};

TEST_F(ReleaseAssets, ComeFromTheInstalledResourceDirectory) {
    EXPECT_TRUE(isRelease());
    EXPECT_EQ(getAssetPath("bell.mp3"), (resources / "assets" / "bell.mp3").string());
    EXPECT_EQ(getHtmlDir(), (resources / "web-ui" / "dist").string());
}

TEST_F(ReleaseAssets, AreAbsoluteAndResolvedEvenWhenTheRootIsNot) {
    fs::create_directories(tmp.path() / "real" / "assets");
    fs::create_directories(tmp.path() / "real" / "web-ui" / "dist");
    fs::create_directory_symlink(tmp.path() / "real", tmp.path() / "linked");
    ScopedRunLayout linked(RunLayout{true, tmp.path() / "linked" / "." / "assets" / "..", {}});

    EXPECT_EQ(getAssetPath("bell.mp3"), (tmp.path() / "real" / "assets" / "bell.mp3").string());
    EXPECT_EQ(getAssetPath(""), (tmp.path() / "real" / "assets").string());
    EXPECT_EQ(getHtmlDir(), (tmp.path() / "real" / "web-ui" / "dist").string());
}

} // namespace
} // namespace tollwick
