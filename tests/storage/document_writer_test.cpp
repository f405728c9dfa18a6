#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "storage/atomic_file.h"
#include "storage/document_writer.h"
#include "support/eventually.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace std::chrono_literals;
using tollwick::test::eventually;
using tollwick::test::LogCapture;
using tollwick::test::TempDir;

namespace {

std::string fileText(const std::filesystem::path& path) {
    return readWholeFile(path).value_or("");
}

struct DocumentWriterTest : ::testing::Test {
    LogCapture log;
    TempDir dir;
    Documents docs;

    DocumentWriterTest() {
        docs.db.load(dir.path() / "_db.json");
        docs.shadow.load(dir.path() / "_shadow.json");
        docs.cache.load(dir.path() / "cache.json");
        docs.db.rememberContent();
        docs.shadow.rememberContent();
        docs.cache.rememberContent();
    }
};

TEST(DocumentTouches, CountEditsOnlyNotReading) {
    StorageWrapper<DB> db;
    const auto before = db.touches();
    (void)db->settings.alarmDelaySec;
    (void)*db;
    EXPECT_EQ(db.touches(), before);
    db.edit().settings.alarmDelaySec = 3;
    EXPECT_EQ(db.touches(), before + 1);
}

TEST_F(DocumentWriterTest, WritesWhatChangedSoonAndLeavesTheRestAlone) {
    DocumentWriter writer(docs);
    writer.start();
    {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit().settings.alarmDelaySec = 7.5;
    }
    EXPECT_TRUE(eventually(
        [&] { return fileText(dir.path() / "_db.json").find("\"alarmDelaySec\": 7.5") != std::string::npos; }));
    {
        std::scoped_lock lock(docs.mutex);
        docs.cache.edit().calendarVersion = 4;
    }
    EXPECT_TRUE(eventually(
        [&] { return fileText(dir.path() / "cache.json").find("\"calendarVersion\": 4") != std::string::npos; }));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_shadow.json")) << "unchanged";
    {
        std::scoped_lock lock(docs.mutex);
        (void)docs.shadow.edit().isPasswordSet(); // handed out for change, not changed
        docs.cache.edit().calendarVersion = 5;
    }
    EXPECT_TRUE(eventually(
        [&] { return fileText(dir.path() / "cache.json").find("\"calendarVersion\": 5") != std::string::npos; }));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_shadow.json")) << "looked at in the same look, not written";
}

TEST_F(DocumentWriterTest, AFailedWriteIsLoggedAndTriedAgain) {
    std::filesystem::remove_all(dir.path());
    DocumentWriter writer(docs);
    writer.start();
    {
        std::scoped_lock lock(docs.mutex);
        docs.db.edit().settings.alarmDelaySec = 2;
    }
    EXPECT_TRUE(eventually([&] {
        for (const std::string& line : log.textsAt(spdlog::level::err))
            if (line.starts_with("Could not save the database: Cannot save " + (dir.path() / "_db.json").string()))
                return true;
        return false;
    })) << "logged";
    std::filesystem::create_directories(dir.path());
    EXPECT_TRUE(eventually([&] { return std::filesystem::exists(dir.path() / "_db.json"); }))
        << "written once the directory is back, with no further change";
}

TEST_F(DocumentWriterTest, FlushWritesPendingChangesAtOnce) {
    DocumentWriter writer(docs); // not started: as when the process ends before its first look
    docs.shadow.edit().setPassword("secret");
    writer.flush();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "_shadow.json"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json"));
}

} // namespace
