// The Windows platform files against the real Windows API (under Wine on the build machine): the
// user-data directory, atomic saves, digests, the port checks, local time, child processes, thread
// priority and the end of the process.
#include "model/local_time.h"
#include "runtime/child_process.h"
#include "runtime/errors.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "runtime/port_check.h"
#include "runtime/process_end.h"
#include "runtime/thread_priority.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"
#include "web/http/socket_io.h"
#include "web/http/worker_priority.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::ScopedRunLayout;
using test::TempDir;

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsPlatform, IsWindowsAndKnowsItsOwnProgram) {
    EXPECT_TRUE(isWindows());
    EXPECT_EQ(executablePath().filename(), "test-windows.exe");
    EXPECT_TRUE(executablePath().is_absolute());
}

struct ReleaseUserData : ::testing::Test {
    TempDir tmp;
    ScopedRunLayout release{RunLayout{true, tmp.path(), {}}};
    ScopedEnv noDataDir{"TOLLWICK_DATA_DIR", std::nullopt};
};

TEST_F(ReleaseUserData, LivesInAppDataUnderTheAppName) {
    ScopedEnv appData("APPDATA", (tmp.path() / "Roaming").string());
    EXPECT_EQ(getUserDataPath(), (tmp.path() / "Roaming" / "TollwickPlayer").string());
    EXPECT_FALSE(fs::exists(tmp.path() / "Roaming"));
    EXPECT_EQ(getUserFilePath("_db.json"), (tmp.path() / "Roaming" / "TollwickPlayer" / "_db.json").string());
    EXPECT_TRUE(fs::is_directory(tmp.path() / "Roaming" / "TollwickPlayer"));
    EXPECT_EQ(getUserFilePath(), (tmp.path() / "Roaming" / "TollwickPlayer").string() + "\\");
}

TEST_F(ReleaseUserData, WithoutAppDataTheCallFailsWithAMissingKey) {
    ScopedEnv appData("APPDATA", std::nullopt);
    EXPECT_THROW(getUserDataPath(), KeyError);
}

TEST(WindowsAtomicFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    TempDir tmp;
    const fs::path file = tmp.path() / "_db.json";
    std::ofstream(file, std::ios::binary) << "old content that is longer than the new";
    writeFileAtomically(file, "new\r\nline\n", false);
    EXPECT_EQ(contentOf(file), "new\r\nline\n") << "written byte for byte, without text mode";
    writeFileAtomically(file, std::string("a\0b", 3), true);
    EXPECT_EQ(contentOf(file), std::string("a\0b", 3));
    EXPECT_EQ(namesIn(tmp.path()), std::vector<std::string>{"_db.json"});
    EXPECT_EQ(readWholeFile(file), std::string("a\0b", 3));
    EXPECT_EQ(readWholeFile(tmp.path() / "missing.json"), std::nullopt);
}

TEST(WindowsAtomicFile, AFailedSaveNamesTheFileAndKeepsTheOldOne) {
    TempDir tmp;
    const fs::path file = tmp.path() / "cache.json";
    std::ofstream(file) << "kept";
    // A directory of the target's name cannot be replaced by a file.
    fs::create_directory(tmp.path() / "blocked.json");
    try {
        writeFileAtomically(tmp.path() / "blocked.json", "x");
        FAIL() << "the save did not fail";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("blocked.json: renaming into place"), std::string::npos) << e.what();
    }
    EXPECT_THROW(writeFileAtomically(tmp.path() / "no-such-dir" / "x.json", "x"), Error);
    EXPECT_EQ(contentOf(file), "kept");
    EXPECT_EQ(namesIn(tmp.path()), (std::vector<std::string>{"blocked.json", "cache.json"}));

    std::ofstream(tmp.path() / ".cache.json.tmp-Ab12Cd") << "left by a crash";
    removeStaleTemporaryFiles(file);
    EXPECT_EQ(namesIn(tmp.path()), (std::vector<std::string>{"blocked.json", "cache.json"}));
}

TEST(WindowsCrypto, DigestsMatchTheirPublishedValues) {
    struct Case {
        std::string actual, expected;
    };
    const std::string million(1000000, 'a');
    const std::vector<Case> cases = {
        {getHash(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {getHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {getHash(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e"},
        {md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72"},
        // RFC 4231, test cases 2 and 6 (a key longer than the block)
        {hmacSha256Hex("Jefe", "what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {hmacSha256Hex(std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {hmacSha256Hex("", ""), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(WindowsCrypto, RandomBytesAreHexAndDiffer) {
    const std::string a = secureRandomHex(16);
    const std::string b = secureRandomHex(16);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos) << a;
    EXPECT_NE(a, b);
    EXPECT_EQ(secureRandomHex(0), "");
    EXPECT_TRUE(constantTimeEquals(a, a));
    EXPECT_FALSE(constantTimeEquals(a, b));
    EXPECT_FALSE(constantTimeEquals("ab", "abc"));
}

TEST(WindowsPortCheck, TellsAFreePortFromOursAndFromAnotherProgram) {
    httplib::Server ours;
    ours.Get("/whoami",
             [](const httplib::Request&, httplib::Response& res) { res.set_content(WHO_AM_I, "text/plain"); });
    const int ourPort = ours.bind_to_any_port("127.0.0.1");
    std::thread serving([&ours] { ours.listen_after_bind(); });
    httplib::Server other;
    other.Get("/whoami",
              [](const httplib::Request&, httplib::Response& res) { res.set_content("nginx", "text/plain"); });
    const int otherPort = other.bind_to_any_port("127.0.0.1");
    std::thread otherServing([&other] { other.listen_after_bind(); });
    while (!ours.is_running() || !other.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    EXPECT_TRUE(_isPortUsed(ourPort));
    EXPECT_TRUE(_isPortUsedByUs(ourPort));
    EXPECT_TRUE(_isPortUsed(otherPort));
    EXPECT_FALSE(_isPortUsedByUs(otherPort));

    ours.stop();
    other.stop();
    serving.join();
    otherServing.join();
    EXPECT_FALSE(_isPortUsed(ourPort));
    EXPECT_FALSE(_isPortUsedByUs(ourPort));
}

TEST(WindowsLocalTime, AgreesWithTheWindowsClock) {
    // Taken again when a second boundary fell between the two readings.
    for (int attempt = 0; attempt < 5; ++attempt) {
        SYSTEMTIME before{};
        ::GetLocalTime(&before);
        const ClockReading reading = clockReadingAt(std::chrono::system_clock::now());
        SYSTEMTIME after{};
        ::GetLocalTime(&after);
        if (before.wSecond != after.wSecond)
            continue;
        EXPECT_EQ(reading.year, after.wYear);
        EXPECT_EQ(reading.month, after.wMonth);
        EXPECT_EQ(reading.day, after.wDay);
        EXPECT_EQ(reading.hour, after.wHour);
        EXPECT_EQ(reading.minute, after.wMinute);
        EXPECT_EQ(reading.second, after.wSecond);
        EXPECT_EQ(reading.weekday, (after.wDayOfWeek + 6) % 7) << "0 is Monday";
        return;
    }
    FAIL() << "the clock never held still for a reading";
}

TEST(WindowsLocalTime, DayOfTheYearAndWeekdayOfFixedDays) {
    struct Case {
        std::time_t utc;
        int yearDay, weekday;
    };
    // Noon UTC, so that any zone of the machine keeps the date.
    const std::vector<Case> cases = {
        {1725278400, 246, 0}, // 2024-09-02, a Monday in a leap year
        {1709208000, 60, 3},  // 2024-02-29, a Thursday
        {1735646400, 366, 1}, // 2024-12-31, a Tuesday
        {1704110400, 1, 0},   // 2024-01-01, a Monday
        {1677672000, 60, 2},  // 2023-03-01, a Wednesday in a common year
    };
    for (const Case& c : cases) {
        const ClockReading reading = clockReadingAt(std::chrono::system_clock::from_time_t(c.utc));
        EXPECT_EQ(reading.yearDay, c.yearDay) << c.utc;
        EXPECT_EQ(reading.weekday, c.weekday) << c.utc;
    }
}

TEST(WindowsChildProcess, RunsAProgramFromThePathAndCollectsItsOutputAndExitCode) {
    const ProcessOutput echo = runProcess({"cmd.exe", "/c", "echo hello"});
    EXPECT_EQ(echo.exitStatus, 0);
    EXPECT_EQ(echo.out, "hello\r\n");
    EXPECT_EQ(runProcess({"cmd", "/c", "exit 3"}).exitStatus, 3);
    const ProcessOutput err = runProcess({"cmd", "/c", "echo oops 1>&2"});
    EXPECT_EQ(err.out, "");
    EXPECT_NE(err.err.find("oops"), std::string::npos);
    EXPECT_THROW(runProcess({"tollwick-no-such-program"}), Error);
}

TEST(WindowsThreads, WorkersRunBelowNormalPriority) {
    int priority = 0;
    std::thread([&priority] {
        web::lowerCurrentThreadPriority();
        priority = ::GetThreadPriority(::GetCurrentThread());
    }).join();
    EXPECT_EQ(priority, THREAD_PRIORITY_BELOW_NORMAL);
}

TEST(WindowsThreads, TheSchedulersThreadRunsTimeCriticalAndTheThreadsItStartsAtNormalPriority) {
    bool granted = false;
    int own = 0;
    int started = 0;
    std::thread([&] {
        granted = raiseToTimeCriticalPriority();
        own = ::GetThreadPriority(::GetCurrentThread());
        std::thread([&started] { started = ::GetThreadPriority(::GetCurrentThread()); }).join();
    }).join();
    EXPECT_TRUE(granted);
    EXPECT_EQ(own, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(started, THREAD_PRIORITY_NORMAL);
}

// WSAPoll refuses what poll() takes in its stride (an entry without a socket); the front relies on
// both, and on the waker ending a wait at once.
TEST(WindowsSockets, AWaitEndsOnAClientOrAWakeUpAndSkipsEmptyEntries) {
    using namespace web::net;
    int port = 0;
    const SocketHandle listener = listenTcp("127.0.0.1", 0, port);
    ASSERT_NE(listener, NO_SOCKET);
    Waker waker;
    std::vector<PollEntry> entries{{listener, true, false}, {NO_SOCKET, true, false}, {waker.socket(), true, false}};
    std::thread([&waker] { waker.wake(); }).join();
    ASSERT_EQ(pollSockets(entries, std::chrono::seconds(10)), 1);
    EXPECT_TRUE(entries[2].readable);
    EXPECT_FALSE(entries[0].readable || entries[1].readable);
    waker.drain();

    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(10));
    std::thread asking([&client] { client.Get("/"); });
    ASSERT_EQ(pollSockets(entries, std::chrono::seconds(10)), 1);
    EXPECT_TRUE(entries[0].readable);
    Accepted accepted = acceptClient(listener);
    EXPECT_EQ(accepted.outcome, AcceptOutcome::ACCEPTED);
    EXPECT_EQ(accepted.peerAddress, "127.0.0.1");
    closeSocket(accepted.socket);
    asking.join();
    EXPECT_EQ(acceptClient(listener).outcome, AcceptOutcome::NONE_WAITING);
    closeSocket(listener);
}

TEST(WindowsProcessEnd, StopEndsTheProcessAtOnceWithSigtermsNumber) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(killOwnProcess(), ::testing::ExitedWithCode(15), "");
}

} // namespace
} // namespace tollwick
