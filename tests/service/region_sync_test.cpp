// Phone-home and the calendar region sync against an in-process fake service: when the registry
// is fetched, what the cache holds afterwards, and that nothing changes on failures.
#include <atomic>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "fake_service.h"
#include "model/json_text.h"
#include "model/record.h"
#include "runtime/errors.h"
#include "service/region_sync.h"
#include "silent_peers.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using test::FakeService;
using test::LogCapture;

const char* const TODAY = "2026-09-14";

struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
};

Reply json(const Json& body) {
    return {200, "application/json", body.dump()};
}

const Json REGION_HU = {{"name", "Magyarorsz\u00e1g"},
                        {"preferredWorkdayMode", 15},
                        {"provideHolidays", true},
                        {"validUntil", "2027-08-31"},
                        {"holidays", {"2026-10-23", "2026-11-01"}},
                        {"schoolBreaks", {"2026-10-26"}},
                        {"extraWorkdays", {"2026-08-08"}}};
const Json REGION_AT = {{"name", "\u00d6sterreich (Wien)"}, {"holidays", {"2026-10-26"}}};

class RegionSyncTest : public testing::Test {
protected:
    void SetUp() override {
        service.answerWith([this](const httplib::Request& request, httplib::Response& response) {
            const Reply& reply = request.get_param_value("c") == "ping" ? pingReply : registryReply;
            response.status = reply.status;
            response.set_content(reply.body, reply.contentType.c_str());
        });
        // The cache as an earlier sync left it: version 3 with one region that the registry no
        // longer has.
        docs.cache.edit().loadCalendarEntries(Json{{"old", {{"name", "Old region"}}}}, 3, "2026-01-05");
        before = to_json(*docs.cache);
    }

    void respond(Reply ping, Reply registry = {500, "text/plain", "not expected"}) {
        pingReply = std::move(ping);
        registryReply = std::move(registry);
    }

    int requestsFor(const std::string& command) const {
        int count = 0;
        for (const auto& request : service.requests())
            count += request.param("c") == command;
        return count;
    }

    FakeService service;
    Api api{service.baseUrl(), {1000ms, 1000ms}};
    Documents docs;
    test::FakeTime time{2026, 9, 14, 10, 30};
    Clock clock{time.source()};
    LogCapture log;
    std::string before;
    Reply pingReply;
    Reply registryReply;
};

TEST_F(RegionSyncTest, AnUnchangedVersionOnlyRecordsTheCheck) {
    for (const long long serviceVersion : {3LL, 2LL}) {
        SCOPED_TRACE(serviceVersion);
        respond(json({{"calendarVersion", serviceVersion}}));
        phoneHome(api, docs, clock);

        EXPECT_EQ(requestsFor("getCalendarRegistry"), 0);
        EXPECT_EQ(docs.cache->calendarLastUpdated, TODAY);
        EXPECT_EQ(docs.cache->calendarVersion, 3);
        ASSERT_EQ(docs.cache->calendarRegions.size(), 1u);
        EXPECT_EQ(docs.cache->calendarRegions.get("old").name, "Old region");
    }
}

TEST_F(RegionSyncTest, ANewerVersionReplacesTheRegionsByTheRegistrysOwn) {
    respond(json({{"calendarVersion", 4}}),
            json({{"entries", {{"hu", REGION_HU}, {"at", REGION_AT}}}, {"version", 5}, {"note", "ignored"}}));
    phoneHome(api, docs, clock);

    EXPECT_EQ(requestsFor("getCalendarRegistry"), 1);
    EXPECT_EQ(docs.cache->calendarVersion, 5); // the registry's version, not the ping's
    EXPECT_EQ(docs.cache->calendarLastUpdated, TODAY);
    // Exactly the registry's regions, in its order, each decoded in full.
    const Json expected = {{"hu", REGION_HU}, {"at", to_dict(from_dict<CalendarRegion>(REGION_AT))}};
    EXPECT_EQ(docs.cache->calendarRegions.encode(), expected);
    EXPECT_EQ(docs.cache->calendarRegions.get("hu").holidays, (std::vector<std::string>{"2026-10-23", "2026-11-01"}));
    EXPECT_EQ(docs.cache->calendarRegions.get("at").name, "\u00d6sterreich (Wien)");
    EXPECT_TRUE(log.contains(spdlog::level::debug, "Attempting to update calendar"));
    EXPECT_TRUE(log.contains(spdlog::level::info, "Calendar has been synchronized"));
}

TEST_F(RegionSyncTest, AnEmptyRegistryEmptiesTheRegions) {
    respond(json({{"calendarVersion", 4}}), json({{"entries", Json::object()}, {"version", 4}}));
    phoneHome(api, docs, clock);

    EXPECT_EQ(docs.cache->calendarRegions.size(), 0u);
    EXPECT_EQ(docs.cache->calendarVersion, 4);
    EXPECT_EQ(docs.cache->calendarLastUpdated, TODAY);
}

TEST_F(RegionSyncTest, AFailingServiceChangesNothing) {
    struct Case {
        const char* what;
        Reply ping;
        Reply registry;
        int registryRequests;
    };
    const Case cases[] = {
        {"ping refused", {404, "text/plain", "gone"}, {}, 0},
        {"ping answered by an error", {500, "application/json", R"({"calendarVersion": 9})"}, {}, 0},
        {"registry refused", json({{"calendarVersion", 4}}), {503, "text/plain", "busy"}, 1},
        {"registry JSON broken", json({{"calendarVersion", 4}}), {200, "application/json", R"({"entries": {)"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int registryRequestsBefore = requestsFor("getCalendarRegistry");
        respond(c.ping, c.registry);
        EXPECT_NO_THROW(phoneHome(api, docs, clock));
        EXPECT_EQ(to_json(*docs.cache), before);
        EXPECT_EQ(requestsFor("getCalendarRegistry") - registryRequestsBefore, c.registryRequests);
    }
    EXPECT_FALSE(log.contains(spdlog::level::info, "Calendar has been synchronized"));
}

TEST_F(RegionSyncTest, AnUnreachableServiceChangesNothing) {
    Api unreachable("http://127.0.0.1:" + std::to_string(test::closedLoopbackPort()), {1000ms, 1000ms});
    EXPECT_NO_THROW(phoneHome(unreachable, docs, clock));
    EXPECT_NO_THROW(updateCalendarRegions(unreachable, docs, clock));
    EXPECT_EQ(to_json(*docs.cache), before);
}

TEST_F(RegionSyncTest, AnAnswerWithoutTheExpectedMembersFailsBeforeAnythingChanges) {
    const Reply newer = json({{"calendarVersion", 4}});
    struct Case {
        const char* what;
        Reply ping;
        Reply registry;
    };
    const Case cases[] = {
        {"ping without calendarVersion", json({{"version", 4}}), {}},
        {"calendarVersion as text", json({{"calendarVersion", "4"}}), {}},
        {"calendarVersion fractional", json({{"calendarVersion", 4.5}}), {}},
        {"calendarVersion true", json({{"calendarVersion", true}}), {}},
        {"ping a JSON list", json(Json::array({4})), {}},
        {"ping as text", {200, "text/plain", "4"}, {}},
        {"registry without entries", newer, json({{"version", 4}})},
        {"registry without version", newer, json({{"entries", {{"hu", REGION_HU}}}})},
        {"entries a list", newer, json({{"entries", Json::array({REGION_HU})}, {"version", 4}})},
        {"version as text", newer, json({{"entries", {{"hu", REGION_HU}}}, {"version", "4"}})},
        {"version null", newer, json({{"entries", {{"hu", REGION_HU}}}, {"version", nullptr}})},
        {"a region that does not decode", newer,
         json({{"entries", {{"hu", REGION_HU}, {"at", {{"holidays", "2026-10-26"}}}}}, {"version", 4}})},
        {"registry as raw bytes", newer, {200, "application/octet-stream", "{}"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        respond(c.ping, c.registry);
        EXPECT_THROW(phoneHome(api, docs, clock), Error);
        EXPECT_EQ(to_json(*docs.cache), before);
    }
    EXPECT_FALSE(log.contains(spdlog::level::info, "Calendar has been synchronized"));
}

TEST_F(RegionSyncTest, TheDocumentLockIsFreeWhileTheServiceIsAsked) {
    std::atomic<int> asked = 0;
    std::atomic<int> lockWasFree = 0;
    service.answerWith([&](const httplib::Request& request, httplib::Response& response) {
        ++asked;
        if (docs.mutex.try_lock()) {
            ++lockWasFree;
            docs.mutex.unlock();
        }
        if (request.get_param_value("c") == "ping")
            response.set_content(R"({"calendarVersion": 4})", "application/json");
        else
            response.set_content(R"({"entries": {}, "version": 4})", "application/json");
    });
    phoneHome(api, docs, clock);

    EXPECT_EQ(asked, 2);
    EXPECT_EQ(lockWasFree, 2);
    EXPECT_EQ(docs.cache->calendarVersion, 4);
}

} // namespace
} // namespace tollwick
