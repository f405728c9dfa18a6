#include <gtest/gtest.h>

#include <cstdio>
#ifdef _WIN32
#include <cstdlib>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef _WIN32
    // Detached threads of the system may still be on their way out. On Windows, returning from
    // main runs the runtime's teardown while they run, which they may then trip over; the system's
    // own process never returns from main either, it ends at once.
    std::fflush(nullptr);
    std::_Exit(result);
#else
    return result;
#endif
}
