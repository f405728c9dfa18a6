// The substitute vendor service of tools/, served in-process from its data in the tree: the
// player's own client and region sync work against it, and its data is fit for the player.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "model/date.h"
#include "model/json_text.h"
#include "service/region_sync.h"
#include "storage/atomic_file.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "vendor_service.h"

namespace tollwick {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The ids of texts.tsv, in its order.
std::vector<std::string> announcementIds(const fs::path& dataDir) {
    std::vector<std::string> ids;
    std::ifstream texts(dataDir / "announcements" / "texts.tsv");
    for (std::string line; std::getline(texts, line);)
        if (!line.empty() && line.front() != '#')
            ids.push_back(line.substr(0, line.find('\t')));
    return ids;
}

class SubstituteServiceTest : public testing::Test {
protected:
    void SetUp() override {
        devtools::addVendorRoutes(server, dataDir);
        port = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(1ms);
    }
    void TearDown() override {
        server.stop();
        thread.join();
    }

    test::LogCapture log;
    const fs::path dataDir = devtools::defaultVendorDataDir();
    const Json registry = parseJsonText(readWholeFile(dataDir / "calendar-registry.json").value());
    httplib::Server server;
    std::thread thread;
    int port = -1;

    Api client() const { return Api("http://127.0.0.1:" + std::to_string(port), {1000ms, 5000ms}); }
};

TEST_F(SubstituteServiceTest, PhoneHomeFillsAFreshCacheWithItsRegistry) {
    Api api = client();
    Documents docs;
    test::FakeTime time(2026, 9, 1, 7, 0);
    Clock clock(time.source());

    phoneHome(api, docs, clock);

    EXPECT_EQ(docs.cache->calendarVersion, registry["version"].get<long long>());
    EXPECT_EQ(docs.cache->calendarLastUpdated, "2026-09-01");
    std::vector<std::string> cached;
    for (const auto& [id, region] : docs.cache->calendarRegions)
        cached.push_back(id);
    std::vector<std::string> published;
    for (const auto& [id, region] : registry["entries"].items())
        published.push_back(id);
    EXPECT_EQ(cached, published);
    EXPECT_GE(cached.size(), 3u);
    ASSERT_NE(docs.cache->calendarRegions.find("hu"), nullptr);
}

TEST_F(SubstituteServiceTest, EveryAnnouncementDownloadsAsItsMp3File) {
    Api api = client();
    test::TempDir dir;
    const auto ids = announcementIds(dataDir);
    ASSERT_FALSE(ids.empty());
    for (const std::string& id : ids) {
        SCOPED_TRACE(id);
        const fs::path target = dir.path() / (id + ".mp3");
        const auto result = api.downloadAnnouncement(id, target.string());
        ASSERT_TRUE(result.isOk()) << result.getError();
        const std::string bytes = readWholeFile(target).value_or("");
        EXPECT_EQ(readWholeFile(dataDir / "announcements" / (id + ".mp3")), bytes);
        // An MPEG audio frame begins with eleven set bits (or the file with an ID3 tag).
        ASSERT_GE(bytes.size(), 2u);
        const bool frameSync =
            static_cast<unsigned char>(bytes[0]) == 0xFF && (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
        EXPECT_TRUE(frameSync || bytes.rfind("ID3", 0) == 0);
    }
}

TEST_F(SubstituteServiceTest, UnknownAnnouncementsAndCommandsAreRefused) {
    Api api = client();
    test::TempDir dir;
    for (const char* id : {"no-such-announcement", "../calendar-registry", "", "announcements/lunch"}) {
        SCOPED_TRACE(id);
        const auto result = api.downloadAnnouncement(id, (dir.path() / "x.mp3").string());
        ASSERT_FALSE(result.isOk());
        EXPECT_EQ(result.getError().rfind("Unknown announcement: ", 0), 0u) << result.getError();
        EXPECT_EQ(api.networkState(), NetworkState::OK);
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_FALSE(api.get({{"c", "reboot"}}).isOk());
}

TEST_F(SubstituteServiceTest, RegionDatesAreExistingDaysInTheirTextFormSortedAndUnique) {
    for (const auto& [id, region] : registry["entries"].items()) {
        for (const char* list : {"holidays", "schoolBreaks", "extraWorkdays"}) {
            SCOPED_TRACE(id + "." + list);
            std::vector<std::string> dates;
            for (const Json& date : region.at(list)) {
                const std::string text = date.get<std::string>();
                EXPECT_EQ(Date::decode(text).asString(), text);
                dates.push_back(text);
            }
            EXPECT_TRUE(std::is_sorted(dates.begin(), dates.end()));
            EXPECT_EQ(std::set<std::string>(dates.begin(), dates.end()).size(), dates.size());
        }
    }
}

} // namespace
} // namespace tollwick
