// The vendor service client over WinHTTP, against an in-process HTTP server.
#include "service/api.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

namespace tollwick {
namespace {

struct ServiceOverWinHttp : ::testing::Test {
    httplib::Server server;
    int port = 0;
    std::thread serving;

    void SetUp() override {
        server.Get("/api/player/v1", [](const httplib::Request& req, httplib::Response& res) {
            const std::string command = req.get_param_value("c");
            if (command == "ping")
                res.set_content(R"({"calendarVersion": 3, "version": ")" + req.get_param_value("version") + "\"}",
                                "application/json; charset=utf-8");
            else if (command == "downloadAnnouncement")
                res.set_content(std::string("ID3\0\xff\xfb", 6), "audio/mpeg");
            else {
                res.status = 404;
                res.set_content("unknown command " + command, "text/plain");
            }
        });
        port = server.bind_to_any_port("127.0.0.1");
        serving = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        server.stop();
        if (serving.joinable())
            serving.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
};

TEST_F(ServiceOverWinHttp, DecodesAnswersByTheirContentTypeAndKeepsTheNetworkState) {
    Api api(base());
    EXPECT_EQ(api.networkState(), NetworkState::UNKNOWN);
    const auto json = api.get({{"c", "ping"}, {"version", "1.2 beta/3"}});
    ASSERT_TRUE(json.isOk()) << json.getError();
    EXPECT_EQ(json.getValue().asJson()["calendarVersion"], 3);
    EXPECT_EQ(json.getValue().asJson()["version"], "1.2 beta/3") << "the query is encoded and decoded intact";

    const auto raw = api.get({{"c", "downloadAnnouncement"}, {"id", "x"}});
    ASSERT_TRUE(raw.isOk());
    EXPECT_EQ(raw.getValue().rawBody(), std::string("ID3\0\xff\xfb", 6));
    EXPECT_EQ(raw.getValue().contentType(), "audio/mpeg");

    const auto missing = api.get({{"c", "nothing"}});
    EXPECT_FALSE(missing.isOk());
    EXPECT_EQ(missing.getError(), "unknown command nothing");
    EXPECT_EQ(api.networkState(), NetworkState::OK) << "a 404 is an answer";
}

TEST_F(ServiceOverWinHttp, NoConnectionIsAnErrorThatNamesTheUrl) {
    const std::string url = base();
    server.stop();
    serving.join();
    Api api(url, ServiceTimeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)});
    const auto answer = api.get({{"c", "ping"}});
    ASSERT_FALSE(answer.isOk());
    EXPECT_NE(answer.getError().find("GET " + url + "/api/player/v1 failed"), std::string::npos) << answer.getError();
    EXPECT_EQ(api.networkState(), NetworkState::ERROR);
}

} // namespace
} // namespace tollwick
