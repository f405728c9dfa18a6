#include "audio/quick_end_watch.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

namespace tollwick {
namespace {

using namespace std::chrono_literals;
using Clock = QuickEndWatch::Clock;

// Plays of an endless repeat, each given by how long it lasted and when it ended (seconds from
// the first end), with what the watch answers and logs at warning level.
TEST(QuickEndWatch, ReportsTheFirstQuickEndThenOnceAMinuteWithTheCount) {
    struct Play {
        std::chrono::milliseconds lasted;
        int endedAt;
        bool quick;
        const char* warning; // nullptr: none
    };
    const std::vector<Play> plays{
        {3000ms, 0, false, nullptr},
        {20ms, 3, true,
         "a.mp3 ended 0.02 s after it started; it is started again once a second, and further "
         "failures are reported once a minute"},
        {10ms, 4, true, nullptr},
        {499ms, 30, true, nullptr},
        {0ms, 62, true, nullptr},
        {0ms, 63, true, "a.mp3 keeps ending at once; failed starts in the last minute: 4"},
        {0ms, 64, true, nullptr},
        {500ms, 66, false, "a.mp3 plays again; failed starts since the last report: 1"},
        {0ms, 70, true,
         "a.mp3 ended 0.00 s after it started; it is started again once a second, and further "
         "failures are reported once a minute"},
    };
    test::LogCapture log;
    QuickEndWatch watch;
    const Clock::time_point start{};
    for (const Play& play : plays) {
        log.clear();
        EXPECT_EQ(watch.ended("a.mp3", play.lasted, start + std::chrono::seconds(play.endedAt)), play.quick)
            << play.endedAt;
        EXPECT_EQ(watch.failing(), play.quick);
        const auto warnings = log.textsAt(spdlog::level::warn);
        EXPECT_EQ(warnings, play.warning ? std::vector<std::string>{play.warning} : std::vector<std::string>{})
            << play.endedAt;
    }
}

} // namespace
} // namespace tollwick
