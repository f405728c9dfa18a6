// The Windows program end to end, installed as the release lays it out: it serves /whoami, takes a
// password, a login and a settings change, and writes its database under the APPDATA it was given.
#include <httplib.h>

#include "installed_program.h"

namespace tollwick {
namespace {

using namespace tollwick::test;

// A browser's cookie jar of one: the session cookie the server set last.
struct Browser {
    httplib::Client client;
    std::string cookie;

    explicit Browser(int port) : client("127.0.0.1", port) { client.set_read_timeout(std::chrono::seconds(20)); }

    std::string post(const std::string& path, const std::string& body) {
        httplib::Headers headers;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        const auto answer = client.Post(path, headers, body, "application/json");
        if (!answer)
            return "no answer";
        if (answer->has_header("Set-Cookie")) {
            const std::string set = answer->get_header_value("Set-Cookie");
            cookie = set.substr(0, set.find(';'));
        }
        return std::to_string(answer->status) + " " +
               (answer->status == 302 ? answer->get_header_value("Location") : answer->body);
    }
};

TEST_F(InstalledProgram, ServesTakesALoginAndASettingsChangeAndSavesUnderAppData) {
    Program program(install / "tollwick-player.exe", L"--port " + std::to_wstring(port), tmp.path() / "server.log");
    ASSERT_TRUE(program.started());
    httplib::Client client("127.0.0.1", port);
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto answer = client.Get("/whoami");
            return (answer && answer->status == 200) || !program.running();
        },
        std::chrono::seconds(30)));
    const auto whoami = client.Get("/whoami");
    ASSERT_TRUE(whoami) << program.log();
    EXPECT_EQ(whoami->body, "Tollwick Player Backend");
    EXPECT_NE(program.log().find("Tollwick Player v9.8.7"), std::string::npos) << program.log();

    // Paths of any length and depth are answered on Windows' own thread stacks.
    std::string segments;
    for (int i = 0; i < 3000; ++i)
        segments += "/a";
    for (const std::string& path : {"/" + std::string(1000, 'a') + ".js", "/" + std::string(4000, 'a'),
                                    "/" + std::string(8000, 'a'), segments.substr(0, 2000), segments}) {
        const auto answer = client.Get(path);
        ASSERT_TRUE(answer) << path.size() << ": " << program.log();
        EXPECT_LT(answer->status, 500) << path.size();
    }
    EXPECT_TRUE(program.running()) << program.log();

    Browser first(port);
    EXPECT_EQ(first.post("/auth/chpasswd", "\"secret\""), "200 ok");
    Browser second(port);
    EXPECT_EQ(second.post("/db/settings/update", R"({"alarmDelaySec": 7})"), "400 No auth");
    EXPECT_EQ(second.post("/auth/login", R"({"userPassword": "wrong"})").substr(0, 4), "400 ");
    EXPECT_EQ(second.post("/auth/login", R"({"userPassword": "secret"})"), "302 /");
    EXPECT_EQ(second.post("/db/settings/update", R"({"alarmDelaySec": 7})"), "200 true");

    const fs::path data = appData / "TollwickPlayer";
    EXPECT_TRUE(
        waitUntil([&] { return contentOf(data / "_db.json").find("\"alarmDelaySec\": 7") != std::string::npos; },
                  std::chrono::seconds(10)))
        << contentOf(data / "_db.json");
    EXPECT_TRUE(fs::exists(data / "_shadow.json"));
    EXPECT_TRUE(program.running()) << program.log();
}

// Installed for all the users of the PC, the program keeps one data directory under ProgramData,
// whoever logs on; installed for one user, it keeps that user's own.
TEST_F(InstalledProgram, AnInstallationForAllUsersKeepsItsDataUnderProgramData) {
    const fs::path programData = tmp.path() / "ProgramData";
    ScopedEnv programDataEnv{"ProgramData", programData.string()};
    const struct {
        const char* choice;
        fs::path data;
    } cases[] = {{"ProgramData", programData / "TollwickPlayer"}, {"AppData", appData / "TollwickPlayer"}};
    for (const auto& c : cases) {
        std::ofstream(install / "data-directory.txt") << c.choice << "\r\n";
        Program program(install / "tollwick-player.exe", L"--port " + std::to_wstring(port), tmp.path() / "server.log");
        ASSERT_TRUE(program.started());
        Browser browser(port);
        ASSERT_TRUE(waitUntil([&] { return browser.post("/auth/chpasswd", "\"secret\"") == "200 ok" || !program.running(); },
                              std::chrono::seconds(30)))
            << program.log();
        EXPECT_TRUE(waitUntil([&] { return fs::exists(c.data / "_shadow.json"); }, std::chrono::seconds(10)))
            << c.choice << ": " << program.log();
    }
}

} // namespace
} // namespace tollwick
