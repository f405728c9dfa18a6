// Requests another site starts, and host names the server does not answer to.
#include "runtime/host_names.h"
#include "web/http/request_guard.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

struct Origin : WebTest {
    std::string own() const { return "127.0.0.1:" + std::to_string(port); }
    int statusOf(const std::string& path, const httplib::Headers& headers) {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get(path, headers);
        return answer ? answer->status : -1;
    }
};

TEST_F(Origin, RequestsThatAnotherSiteStartedAreRefused) {
    const std::string self = "http://" + own();
    struct Case {
        const char* what;
        httplib::Headers headers;
        int status;
    };
    const std::vector<Case> cases{
        {"a script or curl", {}, 200},
        {"the interface's own fetch", {{"Sec-Fetch-Site", "same-origin"}, {"Origin", self}}, 200},
        {"an address typed in", {{"Sec-Fetch-Site", "none"}}, 200},
        {"a link on this server's page", {{"Referer", self + "/settings"}}, 200},
        {"a link on another site", {{"Sec-Fetch-Site", "cross-site"}}, 403},
        {"another port of this machine", {{"Sec-Fetch-Site", "same-site"}}, 403},
        {"a form of another site", {{"Origin", "http://evil.example"}}, 403},
        {"another port", {{"Origin", "http://127.0.0.1:1"}}, 403},
        {"a sandboxed page", {{"Origin", "null"}}, 403},
        {"a page of another site without Origin", {{"Referer", "http://evil.example/page"}}, 403},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusOf("/api/trigger/toggleAlarm/x", c.headers), c.status) << c.what;
        EXPECT_EQ(statusOf("/auth/logout", c.headers), c.status == 200 ? 302 : 403) << c.what;
    }
    // Only the four accepted cases rang: the alarm went on and off and on and off again.
    EXPECT_FALSE(alarm.isActive());
    httplib::Client client("127.0.0.1", port);
    const auto login = client.Post("/auth/login", {{"Sec-Fetch-Site", "cross-site"}}, "{}", "application/json");
    EXPECT_EQ(login->status, 403);
    EXPECT_EQ(login->body, "Refused: the request was started by another site (Sec-Fetch-Site: cross-site)");
    // The interface's pages and files may be linked from anywhere.
    EXPECT_EQ(statusOf("/", {{"Sec-Fetch-Site", "cross-site"}}), 200);
    EXPECT_EQ(statusOf("/whoami", {{"Origin", "http://evil.example"}}), 200);
}

TEST_F(Origin, OnlyKnownHostNamesAreAnswered) {
    const std::vector<std::string> machine = hostNamesOfThisMachine();
    app.setAllowedHosts(web::allowedHostNames(machine, {"bells.school"}, "Gym-PC, ,hall.local"));
    const std::string p = ":" + std::to_string(port);
    std::vector<std::pair<std::string, int>> cases{
        {"127.0.0.1" + p, 200},
        {"localhost" + p, 200},
        {"LOCALHOST." + p, 200},
        {"[::1]" + p, 200},
        {"10.1.2.3", 200},
        {"bells.school" + p, 200},
        {"gym-pc", 200},
        {"hall.local" + p, 200},
        {"evil.example" + p, 421},
        {"127.0.0.1.evil.example", 421},
        {"bells.school.evil.example", 421},
    };
    if (!machine.empty()) {
        const std::string shortName = machine.front().substr(0, machine.front().find('.'));
        cases.emplace_back(shortName + p, 200);
        cases.emplace_back(shortName + ".local" + p, 200);
    }
    for (const auto& [host, status] : cases)
        EXPECT_EQ(statusOf("/whoami", {{"Host", host}}), status) << host;

    httplib::Client client("127.0.0.1", port);
    const auto refused = client.Get("/db", {{"Host", "rebound.example:2233"}});
    EXPECT_EQ(refused->status, 421);
    EXPECT_NE(refused->body.find("--allowed-host rebound.example"), std::string::npos) << refused->body;
    EXPECT_NE(refused->body.find("TOLLWICK_ALLOWED_HOSTS"), std::string::npos) << refused->body;
}

TEST(CrossSiteRefusal, ComparesHostAndPortAsTheBrowserWroteThem) {
    struct Case {
        const char* host;
        const char* origin;
        bool refused;
    };
    const std::vector<Case> cases{
        {"school-pc:2233", "http://school-pc:2233", false},
        {"School-PC:2233", "http://school-pc:2233", false},
        {"school-pc", "http://school-pc:80", false},
        {"school-pc:80", "http://school-pc", false},
        {"school-pc:2233", "https://school-pc:2233", false},
        {"[::1]:2233", "http://[::1]:2233", false},
        {"school-pc:2233", "http://school-pc:2234", true},
        {"school-pc", "https://school-pc", true},
        {"school-pc:2233", "http://school-pc.evil:2233", true},
        {"school-pc:2233", "file:///x", true},
        {"school-pc:2233", "http://user@evil:2233", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(web::crossSiteRefusal(c.host, std::nullopt, c.origin, std::nullopt).has_value(), c.refused)
            << c.host << " / " << c.origin;
}

TEST(LoopbackRequest, NeedsBothALoopbackPeerAndALoopbackHost) {
    struct Case {
        const char* peer;
        std::optional<std::string_view> host;
        bool local;
    };
    const std::vector<Case> cases{
        {"127.0.0.1", "localhost:2233", true},
        {"127.0.0.1", "LOCALHOST.", true},
        {"127.0.0.1", "127.0.0.1:2233", true},
        {"127.1.2.3", "127.0.0.1", true},
        {"::1", "[::1]:2233", true},
        {"127.0.0.1", "192.168.1.20:2233", false}, // a reverse proxy on this PC passes the school's name on
        {"127.0.0.1", "school-pc:2233", false},
        {"127.0.0.1", std::nullopt, false},
        {"192.168.1.7", "localhost:2233", false},
        {"10.0.0.5", "127.0.0.1", false},
        {"128.0.0.1", "127.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(web::isLoopbackRequest(c.peer, c.host), c.local) << c.peer << " / " << c.host.value_or("(none)");
}

} // namespace
