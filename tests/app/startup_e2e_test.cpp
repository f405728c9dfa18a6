// The real program, started as a school's PC would start it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <httplib.h>

#include "support/server_process.h"
#include "support/temp_dir.h"

using namespace tollwick::test;

namespace {

struct StartupTest : ::testing::Test {
    TempDir dir;
    int port = freePort();
    std::string dataDir = (dir.path() / "data").string();

    std::vector<std::string> env(const std::string& flaskDebug = "") const {
        return {"TOLLWICK_DATA_DIR=" + dataDir, "FLASK_DEBUG=" + flaskDebug, "TOLLWICK_SERVICE_URL=http://127.0.0.1:9"};
    }
    std::vector<std::string> args() const { return {"--port", std::to_string(port)}; }
    std::filesystem::path logOf(const char* name) const { return dir.path() / name; }
    std::string read(const char* name) const {
        std::ifstream in(logOf(name));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// A socket that accepts connections but speaks no HTTP.
struct PlainListener {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    explicit PlainListener(int port) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 8);
    }
    ~PlainListener() { ::close(fd); }
};

TEST_F(StartupTest, FirstStartServesAndWritesNothingUntilSomethingChanges) {
    ServerProcess server(args(), env(), logOf("first.log"));
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    httplib::Client client("127.0.0.1", port);
    const auto whoami = client.Get("/whoami");
    ASSERT_TRUE(whoami);
    EXPECT_EQ(whoami->body, "Tollwick Player Backend");
    const std::string log = server.log();
    EXPECT_NE(log.find("\nTollwick Player v"), std::string::npos) << log;
    EXPECT_NE(log.find("Open a browser and navigate to ----> http://localhost:" + std::to_string(port) + "/ <----"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Falling back to factory default config"), std::string::npos) << log;
    EXPECT_EQ(log.find("User data path"), std::string::npos) << "a debug line without -v";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(std::filesystem::is_directory(dataDir));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dataDir) / "_db.json"));

    // Asked to end, it ends as the signal says, with nothing to save.
    server.signal(SIGTERM);
    const int status = server.waitForExit(10);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

TEST_F(StartupTest, SecondInstanceOnTheSamePortPointsToTheFirst) {
    ServerProcess first(args(), env(), logOf("first.log"));
    ASSERT_TRUE(first.waitUntilServing(port)) << first.log();
    EXPECT_EQ(runServerToEnd(args(), env(), logOf("second.log")), 1);
    EXPECT_NE(read("second.log")
                  .find("Tollwick is already running. Navigate to http://localhost:" + std::to_string(port) +
                        "/ to access it."),
              std::string::npos)
        << read("second.log");
    EXPECT_EQ(read("second.log").find("Falling back"), std::string::npos) << "it stops before loading anything";
}

TEST_F(StartupTest, PortHeldByAnotherProgram) {
    PlainListener other(port);
    EXPECT_EQ(runServerToEnd(args(), env(), logOf("taken.log")), 1);
    EXPECT_NE(read("taken.log")
                  .find("Port " + std::to_string(port) +
                        " is already used by another application. Either identify and stop that "
                        "program, or start Tollwick with a different port."),
              std::string::npos)
        << read("taken.log");
}

TEST_F(StartupTest, FlaskDebugSkipsThePortChecksOnlyWhenNotEmpty) {
    PlainListener other(port);
    EXPECT_EQ(runServerToEnd(args(), env(""), logOf("empty.log")), 1);
    EXPECT_NE(read("empty.log").find("is already used by another application"), std::string::npos);

    EXPECT_EQ(runServerToEnd(args(), env("1"), logOf("set.log")), 1);
    const std::string log = read("set.log");
    EXPECT_NE(log.find("FLASK_DEBUG is set; skipping port-in-use checks."), std::string::npos) << log;
    EXPECT_EQ(log.find("already used by another application"), std::string::npos) << log;
    EXPECT_NE(log.find("The server cannot listen on port " + std::to_string(port)), std::string::npos) << log;
}

TEST_F(StartupTest, CommandLineErrorsAndHelp) {
    EXPECT_EQ(runServerToEnd({"--bogus"}, env(), logOf("bogus.log")), 2);
    EXPECT_NE(read("bogus.log").find("--bogus"), std::string::npos) << read("bogus.log");
    EXPECT_EQ(runServerToEnd({"--port", "eighty"}, env(), logOf("port.log")), 2);
    EXPECT_EQ(runServerToEnd({"--port", "70000"}, env(), logOf("range.log")), 2);
    EXPECT_EQ(runServerToEnd({"--help"}, env(), logOf("help.log")), 0);
    const std::string help = read("help.log");
    EXPECT_NE(help.find("Tollwick Player v"), std::string::npos) << help;
    EXPECT_NE(help.find("--no-popup"), std::string::npos) << help;
    EXPECT_FALSE(std::filesystem::exists(dataDir)) << "nothing is created before the options are good";
}

TEST_F(StartupTest, VerboseShowsTheUserDataPathAndABrokenDatabaseEndsTheStart) {
    std::filesystem::create_directories(dataDir);
    std::ofstream(std::filesystem::path(dataDir) / "_db.json") << "{\"dbVersion\": 2, ";
    std::vector<std::string> verbose = args();
    verbose.push_back("-v");
    EXPECT_EQ(runServerToEnd(verbose, env(), logOf("broken.log")), 1);
    const std::string log = read("broken.log");
    EXPECT_NE(log.find("User data path: " + dataDir + "/"), std::string::npos) << log;
    EXPECT_NE(log.find("Cannot load " + dataDir + "/_db.json: the file is not valid JSON"), std::string::npos) << log;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(StartupTest, APasswordStoreThatCannotBeReadEndsTheStartAndStaysAsItWas) {
    const std::filesystem::path data(dataDir);
    std::filesystem::create_directories(data);
    const std::string stored = R"({"_salt": "5a", "_pwd": "9f", "_sessions": []})";
    std::ofstream(data / "_shadow.json") << stored;
    makeUnreadableForServer(data / "_shadow.json");

    EXPECT_EQ(runServerToEnd(args(), env(), logOf("shadow.log"), true), 1);
    const std::string log = read("shadow.log");
    EXPECT_NE(log.find("Cannot load " + dataDir + "/_shadow.json: the file cannot be read (Permission denied)"),
              std::string::npos)
        << log;
    EXPECT_EQ(fileBytes(data / "_shadow.json"), stored);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(data))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"_shadow.json"}) << "nothing is written";
}

// The database set aside beside itself, or an empty path when there is none.
std::filesystem::path setAside(const std::filesystem::path& data) {
    for (const auto& entry : std::filesystem::directory_iterator(data))
        if (entry.path().filename().string().starts_with("_db.json.refused-"))
            return entry.path();
    return {};
}

TEST_F(StartupTest, ADatabaseThatIsRefusedOrCannotBeReadIsKeptUnderANewName) {
    const std::filesystem::path data(dataDir);
    const std::string newer = R"({"dbVersion": 3, "timetables": {"ours": {"name": "The school's own"}}})";
    for (const bool readable : {true, false}) {
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(data);
        std::ofstream(data / "_db.json") << newer;
        if (!readable)
            makeUnreadableForServer(data / "_db.json");
        ServerProcess server(args(), env(), logOf("refused.log"), !readable);
        ASSERT_TRUE(server.waitUntilServing(port)) << server.log();

        const std::filesystem::path aside = setAside(data);
        ASSERT_FALSE(aside.empty()) << server.log();
        EXPECT_TRUE(std::regex_match(aside.filename().string(), std::regex(R"(_db\.json\.refused-\d{8}T\d{6})")))
            << aside;
        EXPECT_EQ(fileBytes(aside), newer) << "byte for byte";
        const std::string log = server.log();
        EXPECT_NE(log.find("it was kept as " + aside.string()), std::string::npos) << log;
        EXPECT_NE(
            log.find(readable ? "has a version this program does not know" : "could not be read (Permission denied)"),
            std::string::npos)
            << log;

        httplib::Client client("127.0.0.1", port);
        const auto warnings = client.Get("/api/get/startupWarnings");
        ASSERT_TRUE(warnings);
        EXPECT_NE(warnings->body.find(aside.string()), std::string::npos) << warnings->body;
        // The first change writes a new database; the one set aside stays as it was.
        EXPECT_EQ(client.Post("/db/settings/update", R"({"alarmDelaySec": 3})", "application/json")->status, 200);
        for (int i = 0; i < 200 && !std::filesystem::exists(data / "_db.json"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(std::filesystem::exists(data / "_db.json"));
        EXPECT_EQ(fileBytes(aside), newer);
    }
}

} // namespace
