// The interface's files: content types, missing files and paths that try to leave the directory.
#include <fstream>

#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

struct StaticFiles : WebTest {};

TEST_F(StaticFiles, FilesAndPages) {
    Browser b = browser();
    const auto start = b.get("/");
    EXPECT_EQ(start->body, "<html>start page</html>");
    EXPECT_EQ(start->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const auto icon = b.get("/favicon.ico");
    EXPECT_EQ(icon->status, 200);
    EXPECT_EQ(icon->body, std::string("\0\0\1\0icon", 8));
    EXPECT_EQ(icon->get_header_value("Content-Type"), "image/vnd.microsoft.icon");
    const auto script = b.get("/assets/app.js");
    EXPECT_EQ(script->body, "console.log('app');");
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(b.get("/index.html")->body, "<html>start page</html>");
    for (const char* page : {"/calendar", "/settings/audio", "/welcome", "/assets"})
        EXPECT_EQ(b.get(page)->body, "<html>start page</html>") << page;
    for (const char* missing : {"/missing.js", "/assets/none.css", "/assets/app.js.map", "/a.b/c.d"}) {
        const auto answer = b.get(missing);
        EXPECT_EQ(answer->status, 404) << missing;
        EXPECT_EQ(answer->body, "Not Found") << missing;
    }
}

TEST_F(StaticFiles, TheContentTypeFollowsTheExtensionInAnyCase) {
    std::ofstream(htmlDir() / "assets" / "LOGO.PNG") << "png";
    std::ofstream(htmlDir() / "assets" / "data.bin") << "bin";
    Browser b = browser();
    const auto logo = b.get("/assets/LOGO.PNG");
    EXPECT_EQ(logo->status, 200);
    EXPECT_EQ(logo->get_header_value("Content-Type"), "image/png");
    const auto data = b.get("/assets/data.bin");
    EXPECT_EQ(data->status, 200);
    EXPECT_EQ(data->get_header_value("Content-Type"), "application/octet-stream");
}

TEST_F(StaticFiles, PathsThatLeadOutOfTheInterfaceAre404) {
    const std::string absolute = secretFile().string();
    for (const std::string& path :
         {std::string("/../secret.txt"), std::string("/../../secret.txt"), std::string("/%2e%2e/secret.txt"),
          std::string("/%2E%2E%2Fsecret.txt"), std::string("/assets/../../secret.txt"),
          std::string("/assets/%2e%2e/../secret.txt"), std::string("/..%5csecret.txt"), std::string("/leak.txt"),
          "/" + absolute, "/%2F" + absolute.substr(1), std::string("/./../secret.txt"),
          std::string("/assets/app.js%00.png")}) {
        const std::string answer =
            rawExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 404 ") || answer.starts_with("HTTP/1.1 400 ")) << path << "\n"
                                                                                                << answer;
        EXPECT_EQ(answer.find("secret"), std::string::npos) << path;
        EXPECT_NE(answer.find("Cache-Control: no-store"), std::string::npos) << path;
    }
    // Inside the directory, dots in names are fine.
    const std::string inside =
        rawExchange(port, "GET /assets/./app.js HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(inside.starts_with("HTTP/1.1 200 ")) << inside;
}

TEST_F(StaticFiles, APageBehindTheLoginIsNamedForTheWayBack) {
    Browser first = browser();
    setPassword(first, "pw");
    // Read off the wire: the HTTP client would decode the header's percent signs.
    const auto setCookie = [this](const std::string& target) {
        const std::string answer =
            rawExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        const std::size_t at = answer.find("Set-Cookie: ");
        return at == std::string::npos ? std::string() : answer.substr(at + 12, answer.find("\r\n", at) - at - 12);
    };
    const struct {
        const char* target;
        const char* cookie; // empty for none
    } cases[] = {
        {"/calendar?offset=-2", "tollwick_return=/calendar%3Foffset%3D-2; Path=/; Max-Age=600; SameSite=Strict"},
        {"/timetables/a%20b", "tollwick_return=/timetables/a%20b; Path=/; Max-Age=600; SameSite=Strict"},
        {"/x%22%3B%20Domain%3Devil", "tollwick_return=/x%22%3B%20Domain%3Devil; Path=/; Max-Age=600; SameSite=Strict"},
        {"/", ""},
        {"/login", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(setCookie(c.target), c.cookie) << c.target;
    EXPECT_EQ(browser().get("/calendar")->get_header_value("Location"), "/login");
    EXPECT_FALSE(first.get("/calendar")->has_header("Set-Cookie")) << "a logged-in browser gets the page itself";
}

TEST_F(StaticFiles, OneRangeIsServedAndManyAreNotMultiplied) {
    std::string content;
    for (int i = 0; i < 1000; ++i)
        content += static_cast<char>('a' + i % 26);
    std::ofstream(htmlDir() / "assets" / "big.js", std::ios::binary) << content;
    std::string repeated = "bytes=0-999";
    for (int i = 0; i < 900; ++i)
        repeated += ",0-999";
    struct Case {
        std::string range;
        int status;
        std::string contentRange;
        std::string body;
    };
    const std::vector<Case> cases{
        {"bytes=0-99", 206, "bytes 0-99/1000", content.substr(0, 100)},
        {"bytes=990-", 206, "bytes 990-999/1000", content.substr(990)},
        {"bytes=-5", 206, "bytes 995-999/1000", content.substr(995)},
        {"bytes=10-5000", 206, "bytes 10-999/1000", content.substr(10)},
        {"bytes=1000-", 416, "bytes */1000", "Range Not Satisfiable"},
        {"bytes=-0", 416, "bytes */1000", "Range Not Satisfiable"},
        {repeated, 200, "", content},
        {"bytes=0-1,5-9", 200, "", content},
        {"bytes=5-2", 200, "", content},
        {"items=0-1", 200, "", content},
    };
    httplib::Client client("127.0.0.1", port);
    for (const Case& c : cases) {
        const auto answer = client.Get("/assets/big.js", {{"Range", c.range}});
        ASSERT_TRUE(answer) << c.range.substr(0, 40);
        EXPECT_EQ(answer->status, c.status) << c.range.substr(0, 40);
        EXPECT_EQ(answer->get_header_value("Content-Range"), c.contentRange) << c.range.substr(0, 40);
        EXPECT_EQ(answer->body, c.body) << c.range.substr(0, 40);
    }
}

} // namespace
