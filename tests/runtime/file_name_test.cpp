#include "runtime/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

namespace tollwick {
namespace {

struct SplitCase {
    std::string input;
    std::string name;
    std::string extension;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '"' << c.input << '"';
}

class FileNameAndExtension : public ::testing::TestWithParam<SplitCase> {};

TEST_P(FileNameAndExtension, SplitsAtTheLastDotOfTheLastComponent) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(getFileNameAndExtension(c.input), std::make_pair(c.name, c.extension));
}

INSTANTIATE_TEST_SUITE_P(Extensions, FileNameAndExtension,
                         ::testing::Values(SplitCase{"Bell.MP3", "Bell", "mp3"},
                                           SplitCase{"archive.tar.gz", "archive.tar", "gz"},
                                           SplitCase{"Pause.WaV", "Pause", "wav"},
                                           SplitCase{"sounds/gong.Ogg", "sounds/gong", "ogg"},
                                           SplitCase{"/abs/path.d/x.y.Z", "/abs/path.d/x.y", "z"},
                                           // A trailing dot splits off an empty extension, and the name loses the dot.
                                           SplitCase{"file.", "file", ""}, SplitCase{"a.b.", "a.b", ""}));

INSTANTIATE_TEST_SUITE_P(NoExtension, FileNameAndExtension,
                         ::testing::Values(SplitCase{"noext", "noext", ""}, SplitCase{"", "", ""},
                                           SplitCase{"old.dir/file", "old.dir/file", ""},
                                           SplitCase{"old.dir/", "old.dir/", ""}, SplitCase{"a.b/c/d", "a.b/c/d", ""}));

INSTANTIATE_TEST_SUITE_P(LeadingDots, FileNameAndExtension,
                         ::testing::Values(SplitCase{".hidden", ".hidden", ""}, SplitCase{"..hidden", "..hidden", ""},
                                           SplitCase{"...", "...", ""}, SplitCase{"dir/.hidden", "dir/.hidden", ""},
                                           SplitCase{"x.y/..hidden", "x.y/..hidden", ""},
                                           // A dot after the first non-dot character does start an extension.
                                           SplitCase{"a/.b.c", "a/.b", "c"}, SplitCase{"..b.C", "..b", "c"},
                                           SplitCase{".a.", ".a", ""}));

// Backslash is a plain character of a POSIX file name; only Windows treats it as a separator.
TEST(FileNameAndExtensionSeparators, BackslashFollowsThePlatform) {
    const auto split = getFileNameAndExtension("old.dir\\file");
    if (std::filesystem::path::preferred_separator == '\\') {
        EXPECT_EQ(split, std::make_pair(std::string("old.dir\\file"), std::string()));
    } else {
        EXPECT_EQ(split, std::make_pair(std::string("old"), std::string("dir\\file")));
    }
}

} // namespace
} // namespace tollwick
