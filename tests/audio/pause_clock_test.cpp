// The pauses of the running system: a pause lasts its length on the steady clock unless it is cut
// short, and a wake cuts one under way short at once.
#include "audio/pause_clock.h"
#include "support/eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

namespace tollwick {
namespace {

TEST(SteadyPauseClock, APauseLastsItsLengthUnlessCutShort) {
    enum class Cut { NEVER, BEFORE, DURING };
    struct Case {
        double length;
        Cut cut;
        double atLeast, below; // seconds
        const char* what;
    } cases[] = {
        {0.1, Cut::NEVER, 0.1, 5.0, "nothing cuts it short"},
        {600.0, Cut::BEFORE, 0.0, 0.5, "cut short before it began"},
        {600.0, Cut::DURING, 0.0, 5.0, "cut short and woken while under way"},
        {std::numeric_limits<double>::quiet_NaN(), Cut::NEVER, 0.0, 0.5, "no length"},
        {-1.0, Cut::NEVER, 0.0, 0.5, "a negative length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SteadyPauseClock clock;
        std::atomic<bool> cut{c.cut == Cut::BEFORE};
        std::atomic<int> looks{0}; // at the cut, by the pause
        std::thread cutter([&] {
            if (c.cut != Cut::DURING)
                return;
            // Once the pause has looked, it holds the clock's lock until it waits.
            EXPECT_TRUE(test::eventually([&] { return looks > 0; }));
            cut = true;
            clock.wake();
        });
        const auto begin = std::chrono::steady_clock::now();
        clock.pause(std::chrono::duration<double>(c.length), [&] {
            ++looks;
            return cut.load();
        });
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        cutter.join();
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.below);
    }
}

} // namespace
} // namespace tollwick
