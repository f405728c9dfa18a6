#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <thread>

#include <httplib.h>

#include "app/system.h"
#include "storage/atomic_file.h"
#include "support/eventually.h"
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
        first.documents().db.edit().settings.alarmDelaySec = 4;
        first.saveChangedDocuments();
    }
    System second;
    EXPECT_FALSE(second.loadDocuments());
    EXPECT_EQ(second.documents().db->settings.alarmDelaySec, 4.0);
}

// Changes made at once after loading, before the scheduler's first pass, are saved as well.
TEST(System, SavesChangedDocumentsWhenAskedToEnd) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    System system;
    system.loadDocuments();
    system.saveChangedDocuments();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json")) << "nothing changed yet";
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_shadow.json"));
    system.documents().shadow.edit().setPassword("pw");
    system.documents().cache.edit().calendarVersion = 9;
    system.saveChangedDocuments();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "_shadow.json"));
    EXPECT_NE(readWholeFile(dir.path() / "cache.json").value_or("").find("\"calendarVersion\": 9"), std::string::npos);
}

TEST(System, LoadingTakesTodaysDayResetSoItIsNotTakenForAChange) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    {
        System first;
        first.loadDocuments();
        first.documents().db.edit().settings.dailyPreferences.selectedTimetableId = "ID_factory_default_timetable";
        first.saveChangedDocuments();
    }
    // The stored choice was made today, so it holds after a restart, and nothing needs writing.
    const auto written = std::filesystem::last_write_time(dir.path() / "_db.json");
    System second;
    second.loadDocuments();
    // What the scheduler's passes do every second.
    second.documents().db.edit().settings.dailyPreferences.resetOnNewDay(second.clock().updateClock().yearDay);
    EXPECT_EQ(second.documents().db->settings.dailyPreferences.selectedTimetableId, "ID_factory_default_timetable");
    second.saveChangedDocuments();
    EXPECT_EQ(std::filesystem::last_write_time(dir.path() / "_db.json"), written);
}

// What interrupted work left behind goes at the next start; everything else stays.
TEST(System, StartUpClearsAwayLeftoversOfInterruptedWork) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    const std::vector<std::string> leftovers{".0b5e4e0c-1d2e-4f5a-8b9c-0d1e2f3a4b5c.wav.tmp-Ab3xYz",
                                             "._db.json.tmp-q1W2e3", ".cache.json.tmp-000000", ".upload-Zx81aQ",
                                             "announcement-7f0e6a52-0c4b-4f8e-9d3a-1b2c3d4e5f60.mp3"};
    const std::vector<std::string> kept{"0b5e4e0c-1d2e-4f5a-8b9c-0d1e2f3a4b5c.wav", "news-1.mp3", ".tmp-short",
                                        "announcement.mp3.bak", "notes.tmp-abcdef", ".upload-long-name"};
    for (const auto& names : {leftovers, kept})
        for (const std::string& name : names)
            std::ofstream(dir.path() / name) << "x";
    System system;
    system.loadDocuments();
    for (const std::string& name : leftovers)
        EXPECT_FALSE(std::filesystem::exists(dir.path() / name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(std::filesystem::exists(dir.path() / name)) << name;
}

// A serving system stops in order and leaves everything for the next one made from the same files:
// each round sees the change the one before made just before it stopped, and nothing answers on
// the port of a stopped one.
TEST(System, StopsInOrderAndTheNextSystemFindsEveryChange) {
    TempDir dir;
    ScopedEnv data("TOLLWICK_DATA_DIR", dir.path().string());
    ScopedEnv service("TOLLWICK_SERVICE_URL", "http://127.0.0.1:9");
    for (int round = 0; round < 3; ++round) {
        System system;
        EXPECT_EQ(system.loadDocuments(), round == 0);
        system.startScheduler();
        const int port = system.http().bind("127.0.0.1", 0);
        ASSERT_GT(port, 0);
        std::thread serving([&] { system.http().serve(); });
        httplib::Client client("127.0.0.1", port);
        EXPECT_TRUE(eventually([&] { return client.Get("/whoami") != nullptr; }));
        {
            std::scoped_lock lock(system.documents().mutex);
            if (round > 0) {
                EXPECT_EQ(system.documents().db->settings.alarmDelaySec, round);
            }
            system.documents().db.edit().settings.alarmDelaySec = round + 1;
        }
        system.stop();
        serving.join();
        EXPECT_FALSE(system.http().isRunning());
        httplib::Client stopped("127.0.0.1", port);
        stopped.set_connection_timeout(1, 0);
        EXPECT_EQ(stopped.Get("/whoami"), nullptr) << "round " << round;
        system.stop(); // a second stop does nothing
    }
}

} // namespace
