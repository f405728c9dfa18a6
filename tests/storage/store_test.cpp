#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/store.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::TempDir;

namespace {

// One document that cannot be written neither stops the others nor is forgotten.
TEST(SavingChangedDocuments, AFailureIsReportedByNameAndTheOthersAreStillWritten) {
    TempDir dir;
    const std::filesystem::path gone = dir.path() / "gone";
    Documents docs;
    docs.db.load(gone / "_db.json");
    docs.shadow.load(dir.path() / "_shadow.json");
    docs.cache.load(dir.path() / "cache.json");
    std::vector<std::string> failed;
    auto record = [&](std::string_view what, const std::exception&) { failed.emplace_back(what); };
    saveChangedDocuments(docs, record); // the first call only takes note of the contents
    EXPECT_TRUE(failed.empty());

    docs.db.edit().settings.alarmDelaySec = 3;
    docs.cache.edit().calendarVersion = 7;
    saveChangedDocuments(docs, record);
    EXPECT_EQ(failed, std::vector<std::string>{"the database"});
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "cache.json"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_shadow.json")) << "unchanged";

    std::filesystem::create_directories(gone);
    failed.clear();
    saveChangedDocuments(docs, record);
    EXPECT_TRUE(failed.empty());
    EXPECT_TRUE(std::filesystem::exists(gone / "_db.json")) << "tried again and written";
}

} // namespace
