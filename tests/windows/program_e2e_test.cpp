// The Windows program end to end, installed as the release lays it out: it serves /whoami, takes a
// password, a login and a settings change, and writes its database under the APPDATA it was given.
// The tray launcher runs the same system without a console and logs into a file of its own.
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::ScopedEnv;
using test::TempDir;

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A port on 127.0.0.1 that nothing listens on now: the system picks it for a socket that is then
// closed.
int freePort() {
    WSADATA winsock{};
    ::WSAStartup(MAKEWORD(2, 2), &winsock);
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    ::WSACleanup();
    return ::ntohs(address.sin_port);
}

// The program started with a command line of its own, its output going to a log file. It is ended
// with the test if it is still running.
class Program {
public:
    Program(const fs::path& exe, const std::wstring& arguments, const fs::path& log) : _log(log) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        _output = ::CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = _output;
        startup.hStdError = _output;
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             exe.parent_path().c_str(), &startup, &process)) {
            _process = process.hProcess;
            ::CloseHandle(process.hThread);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (_process != nullptr) {
            ::TerminateProcess(_process, 1);
            ::WaitForSingleObject(_process, 10000);
            ::CloseHandle(_process);
        }
        ::CloseHandle(_output);
    }

    bool started() const { return _process != nullptr; }
    bool running() const { return _process != nullptr && ::WaitForSingleObject(_process, 0) == WAIT_TIMEOUT; }
    std::string log() const { return contentOf(_log); }

private:
    fs::path _log;
    HANDLE _output = INVALID_HANDLE_VALUE;
    HANDLE _process = nullptr;
};

// Polls `condition` every 50 ms until it holds; false when `limit` passed first.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::seconds limit) {
    for (const Clock::time_point until = Clock::now() + limit; Clock::now() < until;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

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

struct InstalledProgram : ::testing::Test {
    TempDir tmp;
    fs::path install = tmp.path() / "Program Files" / "Tollwick Player";
    fs::path appData = tmp.path() / "Roaming";
    int port = freePort();
    ScopedEnv appDataEnv{"APPDATA", appData.string()};
    ScopedEnv noDataDir{"TOLLWICK_DATA_DIR", std::nullopt};
    ScopedEnv noDebug{"FLASK_DEBUG", std::nullopt};
    // Nothing listens there: the phone-home fails at once instead of looking for the real service.
    ScopedEnv service{"TOLLWICK_SERVICE_URL", "http://127.0.0.1:9"};

    void SetUp() override {
        fs::create_directories(install);
        fs::copy_file(TOLLWICK_PLAYER_EXE, install / "tollwick-player.exe");
        fs::copy_file(TOLLWICK_TRAY_EXE, install / "tollwick-tray.exe");
        fs::copy(fs::path(TOLLWICK_SOURCE_DIR) / "assets", install / "assets", fs::copy_options::recursive);
        std::ofstream(install / "assets" / "version.info") << "9.8.7\n";
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

TEST_F(InstalledProgram, TheTrayLauncherServesAndLogsIntoARotatingFileOfTheUserData) {
    ScopedEnv smallLog{"TOLLWICK_LOG_FILE_BYTES", "4096"};
    Program tray(install / "tollwick-tray.exe", L"--no-popup -v --port " + std::to_wstring(port),
                 tmp.path() / "tray.log");
    ASSERT_TRUE(tray.started());
    httplib::Client client("127.0.0.1", port);
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto answer = client.Get("/whoami");
            return (answer && answer->status == 200) || !tray.running();
        },
        std::chrono::seconds(30)));
    ASSERT_TRUE(tray.running());
    const fs::path log = appData / "TollwickPlayer" / "log";
    EXPECT_NE(contentOf(log / "tollwick-player.log").find("Tollwick Player v9.8.7"), std::string::npos)
        << contentOf(log / "tollwick-player.log");
    // Each request is a line at debug level: enough of them begin the file anew.
    for (int i = 0; i < 200 && !fs::exists(log / "tollwick-player.1.log"); ++i)
        client.Get("/api/get/status");
    EXPECT_TRUE(fs::exists(log / "tollwick-player.1.log"));
    EXPECT_LE(fs::file_size(log / "tollwick-player.log"), 4096u);
    EXPECT_TRUE(tray.running());
}

} // namespace
} // namespace tollwick
