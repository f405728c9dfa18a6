#include "runtime/service_notifier.h"
#include "support/log_capture.h"
#include "support/notify_socket.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <unistd.h>

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;
using test::NotifySocket;
using test::ScopedEnv;
using test::TempDir;

TEST(ServiceNotifier, TakesTheManagerOutOfTheEnvironment) {
    const std::string self = std::to_string(::getpid());
    struct Case {
        const char* what;
        std::optional<std::string> socket, usec, pid;
        std::string expectedSocket;
        std::chrono::microseconds expectedInterval;
    };
    const Case cases[] = {
        {"not started by a manager", std::nullopt, "3000000", std::nullopt, "", 0us},
        {"no watchdog", "/run/notify", std::nullopt, std::nullopt, "/run/notify", 0us},
        {"watchdog for whoever reads it", "/run/notify", "3000000", std::nullopt, "/run/notify", 3s},
        {"watchdog for this process", "@notify", "3000000", self, "@notify", 3s},
        {"watchdog for another process", "/run/notify", "3000000", "1", "/run/notify", 0us},
        {"interval that is no number", "/run/notify", "3s", std::nullopt, "/run/notify", 0us},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedEnv socket("NOTIFY_SOCKET", c.socket), usec("WATCHDOG_USEC", c.usec), pid("WATCHDOG_PID", c.pid);
        const ServiceNotifier notifier = ServiceNotifier::fromEnvironment();
        EXPECT_EQ(notifier.socket(), c.expectedSocket);
        EXPECT_EQ(notifier.watchdogInterval(), c.expectedInterval);
        for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
            EXPECT_EQ(std::getenv(name), nullptr) << name << " would reach the player programs";
    }
}

TEST(ServiceNotifier, SendsReadyAndAKeepAliveAtMostOncePerQuarterInterval) {
    TempDir dir;
    NotifySocket manager((dir.path() / "notify").string());
    ServiceNotifier notifier(manager.address(), 800ms);
    notifier.ready();
    EXPECT_EQ(manager.receive(5s), "READY=1");

    notifier.watchdog();
    const auto first = std::chrono::steady_clock::now();
    EXPECT_EQ(manager.receive(5s), "WATCHDOG=1");
    // Called as often as the scheduler passes, it sends again only after a quarter of the interval.
    std::optional<std::string> next;
    while (!next && std::chrono::steady_clock::now() - first < 5s) {
        notifier.watchdog();
        next = manager.receive(5ms);
    }
    EXPECT_EQ(next, "WATCHDOG=1");
    EXPECT_GE(std::chrono::steady_clock::now() - first, 200ms);
}

TEST(ServiceNotifier, ReachesAManagerInTheAbstractNamespace) {
    NotifySocket manager("@tollwick-test-" + std::to_string(std::random_device()()));
    ServiceNotifier notifier(manager.address(), 1s);
    notifier.watchdog();
    EXPECT_EQ(manager.receive(5s), "WATCHDOG=1");
}

TEST(ServiceNotifier, NamesAManagerThatCannotBeToldOnce) {
    TempDir dir;
    LogCapture log;
    ServiceNotifier notifier((dir.path() / "nobody-listens").string(), 1s);
    notifier.ready();
    notifier.ready();
    ASSERT_EQ(log.textsAt(spdlog::level::warn).size(), 1u);
    EXPECT_TRUE(log.textsAt(spdlog::level::warn)[0].starts_with("Cannot notify the service manager at " +
                                                                (dir.path() / "nobody-listens").string() + ": "));
}

} // namespace
} // namespace tollwick
