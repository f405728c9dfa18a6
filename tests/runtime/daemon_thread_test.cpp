#include "runtime/daemon_thread.h"
#include "runtime/errors.h"
#include "support/eventually.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using tollwick::test::eventually;

// Shared with the test, so that it can be watched after the test lets go of the thread.
struct Probe {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> destroyed{false};
};

class Gate : public DaemonThread {
public:
    explicit Gate(std::shared_ptr<Probe> probe) : DaemonThread("Gate-1"), _probe(std::move(probe)) {}
    ~Gate() override { _probe->destroyed = true; }

protected:
    void run() override {
        _probe->entered = true;
        while (!_probe->release) {
            std::this_thread::sleep_for(1ms);
        }
        throw InvalidValueError("broken state");
    }

private:
    std::shared_ptr<Probe> _probe;
};

TEST(DaemonThread, KeepsItselfAliveWhileRunningAndLogsAnEscapingError) {
    test::LogCapture log;
    auto probe = std::make_shared<Probe>();
    auto gate = std::make_shared<Gate>(probe);
    EXPECT_FALSE(gate->isAlive());

    gate->start();
    EXPECT_TRUE(gate->isAlive());
    EXPECT_THROW(gate->start(), Error);
    ASSERT_TRUE(eventually([&] { return probe->entered.load(); }));
    std::weak_ptr<Gate> watch = gate;
    gate.reset(); // only the running thread holds it now
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(probe->destroyed) << "the object died while its thread was running";

    probe->release = true;
    ASSERT_TRUE(log.waitFor(spdlog::level::err, "Exception in thread Gate-1: broken state"));
    EXPECT_TRUE(eventually([&] { return probe->destroyed.load(); })) << "the thread kept its object after run returned";
    EXPECT_TRUE(watch.expired());
}

// The system waits for the threads it stopped: not before run() has returned, and not at all for
// one that never started.
TEST(DaemonThread, CanBeWaitedForUntilItsRunHasReturned) {
    test::LogCapture log;
    auto probe = std::make_shared<Probe>();
    auto gate = std::make_shared<Gate>(probe);
    EXPECT_TRUE(gate->waitUntilEnded(0s)) << "never started";
    gate->start();
    ASSERT_TRUE(eventually([&] { return probe->entered.load(); }));
    EXPECT_FALSE(gate->waitUntilEnded(20ms));
    probe->release = true;
    EXPECT_TRUE(gate->waitUntilEnded(10s));
    EXPECT_FALSE(gate->isAlive());
}

} // namespace
} // namespace tollwick
