#include <gtest/gtest.h>

#include <thread>

#include "model/local_time.h"
#include "support/fake_clock.h"

using namespace tollwick;
using tollwick::test::FakeTime;

namespace {

TEST(Clock, TextsFormatTheStoredReadingNotTheSystemClock) {
    FakeTime time(2024, 9, 2, 9, 5, 7);
    Clock clock(time.source());
    EXPECT_EQ(clock.getDateString(), "2024-09-02");
    EXPECT_EQ(clock.getTimeString(), "09:05:07");
    EXPECT_EQ(clock.getTimeString("%H:%M"), "09:05");
    time.set(2025, 1, 1, 0, 0, 0);
    EXPECT_EQ(clock.getTimeString(), "09:05:07") << "only updateClock advances the reading";
    EXPECT_EQ(clock.updateClock(), time.reading());
    EXPECT_EQ(clock.getDateString(), "2025-01-01");
    EXPECT_EQ(clock.getTimeString(), "00:00:00");
}

TEST(Clock, FirstReadingIsTakenWhenMade) {
    FakeTime time(2026, 12, 8, 7, 59, 59);
    const Clock clock(time.source());
    EXPECT_EQ(clock.getClock(), time.reading());
    EXPECT_EQ(clock.getClock().weekday, 1) << "2026-12-08 is a Tuesday";
    EXPECT_EQ(clock.getClock().yearDay, 342);
}

TEST(Clock, SystemReadingIsPlausibleLocalTime) {
    const ClockReading r = systemClockReading();
    EXPECT_GE(r.year, 2024);
    EXPECT_TRUE(r.month >= 1 && r.month <= 12);
    EXPECT_TRUE(r.weekday >= 0 && r.weekday <= 6);
    EXPECT_TRUE(r.yearDay >= 1 && r.yearDay <= 366);
    const std::time_t t = std::time(nullptr);
    const std::tm tm = localTm(t);
    EXPECT_EQ(r.weekday, (tm.tm_wday + 6) % 7);
}

TEST(Clock, ReadersNeverSeeAMixtureOfTwoReadings) {
    // Two readings that differ in every field; a torn read would mix them.
    const ClockReading a = tollwick::test::readingAt(2024, 1, 1, 1, 1, 1);
    const ClockReading b = tollwick::test::readingAt(2025, 12, 31, 23, 59, 59);
    bool flip = false;
    Clock clock([&] { return (flip = !flip) ? a : b; });
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop)
            clock.updateClock();
    });
    for (int i = 0; i < 100000; ++i) {
        const ClockReading r = clock.getClock();
        ASSERT_TRUE(r == a || r == b);
    }
    stop = true;
    writer.join();
}

TEST(FakeTime, AdvancesAcrossDaysMonthsAndYears) {
    FakeTime time(2024, 12, 31, 23, 59, 58);
    time.advance(3);
    EXPECT_EQ(time.reading(), tollwick::test::readingAt(2025, 1, 1, 0, 0, 1));
    EXPECT_EQ(time.reading().yearDay, 1);
    time.set(2024, 2, 28, 12, 0, 0);
    time.advance(86400);
    EXPECT_EQ(time.reading().day, 29);
    EXPECT_EQ(time.reading().weekday, 3) << "2024-02-29 is a Thursday";
}

} // namespace
