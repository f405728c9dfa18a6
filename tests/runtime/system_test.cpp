#include <gtest/gtest.h>

#include "runtime/system.h"
#include "storage/atomic_file.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

TEST(System, LoadsTheFactoryDatabaseOnAFirstStartAndNotAfter) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    {
        System first;
        EXPECT_TRUE(first.loadDocuments());
        EXPECT_EQ(first.documents().db->songs.size(), 12u);
        EXPECT_EQ(first.sessionKey().size(), 64u);
        first.saveChangedDocuments(); // the baseline, as the scheduler's first pass takes it
        first.documents().db->settings.alarmDelaySec = 4;
        first.saveChangedDocuments();
    }
    System second;
    EXPECT_FALSE(second.loadDocuments());
    EXPECT_EQ(second.documents().db->settings.alarmDelaySec, 4.0);
}

TEST(System, SavesChangedDocumentsWhenAskedToEnd) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    System system;
    system.loadDocuments();
    system.saveChangedDocuments();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json")) << "nothing changed yet";
    system.documents().shadow->setPassword("pw");
    system.documents().cache->calendarVersion = 9;
    system.saveChangedDocuments();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "_shadow.json"));
    EXPECT_NE(readWholeFile(dir.path() / "cache.json").value_or("").find("\"calendarVersion\": 9"), std::string::npos);
}

} // namespace
