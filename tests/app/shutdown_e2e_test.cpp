// The real program: a settings change made through the interface just before the process is
// asked to end is on disk afterwards.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>

#include <httplib.h>

#include "storage/atomic_file.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

TEST(ShutdownEndToEnd, ASettingChangedJustBeforeSigtermIsSaved) {
    TempDir dir;
    const int port = freePort();
    const std::string data = (dir.path() / "data").string();
    ServerProcess server({"--port", std::to_string(port)},
                         {"TOLLWICK_DATA_DIR=" + data, "FLASK_DEBUG=", "TOLLWICK_SERVICE_URL=http://127.0.0.1:9"},
                         dir.path() / "server.log");
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    // Let the scheduler take its first look at the documents, as it does right after start-up.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    httplib::Client client("127.0.0.1", port);
    const auto answer = client.Post("/db/settings/update", R"({"alarmDelaySec": 7.25, "calendar.workdayMode": 16})",
                                    "application/json");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200) << answer->body;
    server.signal(SIGTERM);
    const int status = server.waitForExit(10);
    ASSERT_NE(status, -1) << server.log();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << server.log();

    const std::string saved = readWholeFile(std::filesystem::path(data) / "_db.json").value_or("");
    EXPECT_NE(saved.find("\"alarmDelaySec\": 7.25"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"workdayMode\": 16"), std::string::npos) << saved;
}

} // namespace
