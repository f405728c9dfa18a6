#include <gtest/gtest.h>

#include "runtime/paths.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "storage/factory_songs.h"

using namespace tollwick;

namespace {

TEST(FactorySignals, EveryShippedFileMatchesItsRow) {
    for (const FactorySong& row : FACTORY_SONGS) {
        const auto bytes = readWholeFile(getAssetPath(std::string(row.filename)));
        ASSERT_TRUE(bytes) << row.filename << " is not shipped";
        EXPECT_EQ(md5Hex(*bytes), row.md5) << row.filename;
        EXPECT_GT(bytes->size(), 10000u) << row.filename;
    }
}

} // namespace
