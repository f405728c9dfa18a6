// The program under a service manager (systemd): readiness, the scheduler's watchdog and the log
// as the journal reads it.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include <httplib.h>

#include "runtime/service_notifier.h"
#include "scheduling/scheduler.h"
#include "support/notify_socket.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace tollwick::test;
using namespace std::chrono_literals;

namespace {

struct ServiceManagerTest : ::testing::Test {
    TempDir dir;
    int port = freePort();
    std::string dataDir = (dir.path() / "data").string();
    NotifySocket manager{(dir.path() / "notify").string()};

    std::vector<std::string> env(std::vector<std::string> more = {}) const {
        more.insert(more.end(),
                    {"TOLLWICK_DATA_DIR=" + dataDir, "FLASK_DEBUG=", "TOLLWICK_SERVICE_URL=http://127.0.0.1:9"});
        return more;
    }
    std::vector<std::string> args() const { return {"--port", std::to_string(port)}; }
};

TEST_F(ServiceManagerTest, ReadyOnceServingThenKeepAlivesWithinHalfTheWatchdogInterval) {
    constexpr auto interval = 3s;
    ServerProcess server(args(), env({"NOTIFY_SOCKET=" + manager.address(), "WATCHDOG_USEC=3000000"}),
                         dir.path() / "server.log");
    // The scheduler runs, and may send keep-alives, before the server is ready.
    std::optional<std::string> message;
    do
        message = manager.receive(10s);
    while (message == "WATCHDOG=1");
    ASSERT_EQ(message, "READY=1") << server.log();
    httplib::Client client("127.0.0.1", port);
    const auto whoami = client.Get("/whoami");
    ASSERT_TRUE(whoami);
    EXPECT_EQ(whoami->body, "Tollwick Player Backend");

    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(manager.receive(std::chrono::duration_cast<std::chrono::milliseconds>(interval / 2)), "WATCHDOG=1")
            << "keep-alive " << i;
}

TEST_F(ServiceManagerTest, LogLinesCarryTheirPriorityOnlyWhenStandardErrorIsTheJournal) {
    std::filesystem::create_directories(dataDir);
    std::ofstream(std::filesystem::path(dataDir) / "_db.json") << "{";
    const auto logFile = dir.path() / "server.log";
    std::ofstream{logFile};
    struct stat status {};
    ASSERT_EQ(::stat(logFile.c_str(), &status), 0);
    const std::string journal = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    std::vector<std::string> verbose = args();
    verbose.push_back("-v");

    // The lines of a start that ends at a broken database: the greeting, the debug line, the error.
    const std::vector<std::string> texts{"", "Tollwick Player v", "Open a browser",
                                         "", "User data path: ",  "Cannot load "};
    struct Case {
        std::string stream; // JOURNAL_STREAM
        std::vector<std::string> priorities;
    };
    const Case cases[] = {
        // The journal stamps the time itself; the prefix gives the level.
        {journal, {"<6>", "<6>", "<6>", "<6>", "<7>", "<3>"}},
        // Inherited by a process whose standard error goes elsewhere: the plain text of every run.
        {"1:2", {"", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream);
        ASSERT_EQ(runServerToEnd(verbose, env({"JOURNAL_STREAM=" + c.stream}), logFile), 1);
        std::ifstream in(logFile);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        ASSERT_EQ(lines.size(), texts.size()) << ::testing::PrintToString(lines);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].starts_with(c.priorities[i] + texts[i])) << lines[i];
            EXPECT_FALSE(lines[i].substr(c.priorities[i].size()).starts_with("<")) << lines[i];
        }
    }
}

// The scheduler's own loop feeds the watchdog: held at the document mutex, it stops.
TEST_F(ServiceManagerTest, KeepAlivesComeFromTheSchedulerLoopAndStopWhileItIsHeld) {
    constexpr auto interval = 2s;
    const auto halfInterval = std::chrono::duration_cast<std::chrono::milliseconds>(interval / 2);
    // The loop never returns, so what it uses lives until the test program ends; `feeding` ends
    // its keep-alives after this test.
    struct Running {
        Clock clock;
        Documents docs;
        struct : SoundStarter {
            std::shared_ptr<PlayHandle> play(PlayRequest, const PlayOrigin&) override { return nullptr; }
            void record(const std::string&, const std::string&, const PlayOrigin&, PlayOutcome,
                        const std::string&) override {}
        } silent;
        QuietPeriods quiet;
        Scheduler scheduler{docs, clock, silent, quiet, {}, Paths{}};
        ServiceNotifier notifier;
        std::atomic<bool> feeding{true};
        Running(const std::string& socket, std::chrono::microseconds interval) : notifier(socket, interval) {}
    };
    auto& running = *new Running(manager.address(), interval);
    running.docs.db.edit().loadFactoryDefault();
    running.scheduler.setAfterPass([&running] {
        if (running.feeding)
            running.notifier.watchdog();
    });
    std::thread([&running] { running.scheduler.run(); }).detach();

    EXPECT_EQ(manager.receive(halfInterval), "WATCHDOG=1");
    EXPECT_EQ(manager.receive(halfInterval), "WATCHDOG=1");
    {
        std::scoped_lock hold(running.docs.mutex);
        // Within a second the loop reaches a new second, whose duties need the documents; what it
        // sent before that does not count.
        const auto blocked = std::chrono::steady_clock::now() + 1200ms;
        while (manager.receive(
            std::chrono::duration_cast<std::chrono::milliseconds>(blocked - std::chrono::steady_clock::now()))) {
        }
        EXPECT_EQ(manager.receive(std::chrono::duration_cast<std::chrono::milliseconds>(interval)), std::nullopt);
    }
    EXPECT_EQ(manager.receive(halfInterval), "WATCHDOG=1") << "the loop goes on once released";
    running.feeding = false;
}

} // namespace
