// The real program, stalled as an overloaded or swapping machine stalls it: a bell whose second
// passes while the process cannot run still rings, late, and says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>

#include <httplib.h>

#include "model/local_time.h"
#include "model/timetable.h"
#include "runtime/thread_priority.h"
#include "scheduling/clock.h"
#include "storage/atomic_file.h"
#include "support/eventually.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

using namespace tollwick;
using namespace tollwick::test;
using namespace std::chrono_literals;
using SystemTime = std::chrono::system_clock::time_point;

namespace {

// The first time the fake player was started, as it wrote it (nanoseconds since the epoch).
std::optional<SystemTime> firstStart(const std::filesystem::path& starts) {
    std::ifstream in(starts);
    long long nanos = 0;
    if (!(in >> nanos))
        return std::nullopt;
    return SystemTime(std::chrono::duration_cast<SystemTime::duration>(std::chrono::nanoseconds(nanos)));
}

TEST(StallEndToEnd, ABellWhoseSecondPassedWhileTheProcessWasStoppedRingsLate) {
    TempDir dir;
    const std::filesystem::path bin = dir.path() / "bin";
    const std::filesystem::path starts = dir.path() / "starts.txt";
    const std::filesystem::path policies = dir.path() / "policies.txt";
    std::filesystem::create_directories(bin);
    {
        std::ofstream player(bin / "mpg123");
        // The time, then its scheduling policy (field 41 of its stat line, 0 for the normal one)
        // as it starts and once it is back at the normal one (or after 5 s).
        player << "#!/bin/sh\ndate +%s%N >> '" << starts.string() << "'\n"
               << "policy() { cut -d' ' -f41 /proc/$$/stat; }\n"
               << "policy >> '" << policies.string() << "'\n"
               << "for i in $(seq 50); do [ \"$(policy)\" = 0 ] && break; sleep 0.1; done\n"
               << "policy >> '" << policies.string() << "'\n";
    }
    std::filesystem::permissions(bin / "mpg123", std::filesystem::perms::owner_all);

    // A bell is pointless to test across midnight, where a lesson's end would come before its start.
    if (TimeOfDay::fromTimeStruct(clockReadingAt(std::chrono::system_clock::now())).toSecondsOfDay() > 86390)
        std::this_thread::sleep_for(15s);

    const int port = freePort();
    ServerProcess server({"--port", std::to_string(port)},
                         {"TOLLWICK_DATA_DIR=" + (dir.path() / "data").string(),
                          "FLASK_DEBUG=", "TOLLWICK_SERVICE_URL=http://127.0.0.1:9",
                          "PATH=" + bin.string() + ":" + std::getenv("PATH")},
                         dir.path() / "server.log");
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();

    // One lesson whose start, the only bell, falls in a second three seconds from now; every day
    // counts as a workday.
    const auto bell = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + 3s;
    TimeTable timetable;
    const TimeOfDay at = TimeOfDay::fromTimeStruct(clockReadingAt(bell));
    timetable.chA.lessons = {Lesson{at, TimeOfDay::fromSecondsOfDay(at.toSecondsOfDay() + 1)}};
    timetable.chA.startOfClass.id = "ID_ping";
    timetable.chA.endOfClass.id = timetable.chA.preStart.id = timetable.chA.preEnd.id = "NULL";
    httplib::Client client("127.0.0.1", port);
    const auto updated =
        client.Post("/db/timetables/update/ID_factory_default_timetable", to_json(timetable), "application/json");
    ASSERT_TRUE(updated && updated->status == 200);
    const auto everyDay = client.Post("/db/settings/update", R"({"calendar.workdayMode": 7})", "application/json");
    ASSERT_TRUE(everyDay && everyDay->status == 200);

    std::this_thread::sleep_until(bell - 500ms);
    server.signal(SIGSTOP);
    ASSERT_LT(std::chrono::system_clock::now(), bell - 100ms) << "stopped too late to test anything";
    std::this_thread::sleep_until(bell + 1000ms);
    const auto continued = std::chrono::system_clock::now();
    server.signal(SIGCONT);

    ASSERT_TRUE(eventually([&] { return firstStart(starts).has_value(); }, 5s)) << server.log();
    const SystemTime rang = *firstStart(starts);
    EXPECT_GE(rang, continued) << "it cannot ring while stopped";
    EXPECT_LT(rang - continued, 500ms) << "it rings as soon as the process runs again";
    const std::string warning =
        "The bells due at " + formatClockReading(clockReadingAt(bell), "%H:%M:%S") + " started 1 s late";
    EXPECT_TRUE(eventually([&] { return server.log().find(warning) != std::string::npos; }, 5s)) << server.log();

    // The scheduler runs at real-time priority where this system grants one, as it does to this
    // test if it grants it to the server. The player program it starts has it only for its start.
    bool grantable = false;
    std::thread([&grantable] { grantable = raiseToTimeCriticalPriority(); }).join();
    EXPECT_NE(server.log().find(grantable ? "The scheduler runs at real-time priority"
                                          : "The scheduler runs at normal priority"),
              std::string::npos)
        << server.log();
    const auto seenPolicies = [&policies] { return readWholeFile(policies).value_or(""); };
    EXPECT_TRUE(eventually([&] { return std::ranges::count(seenPolicies(), '\n') == 2; }, 10s));
    EXPECT_EQ(seenPolicies(), grantable ? "1\n0\n" : "0\n0\n");
}

} // namespace
