// The scheduler's thread ahead of every normal thread, without passing that on to what it starts,
// and the document mutex lending a waiting thread's priority to its holder. Linux only: other
// systems have neither real-time policies nor priority inheritance.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "runtime/priority_mutex.h"
#include "runtime/thread_priority.h"
#include "support/eventually.h"

using namespace tollwick;

namespace {

constexpr const char* NO_REAL_TIME = "this process may not take a real-time priority";

// Thread `tid`'s priority as the kernel schedules it: 20 plus its nice value at the normal policy,
// below 0 at a real-time priority, whether its own or lent to it by a waiting thread.
int kernelPriority(pid_t tid) {
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(file), {}};
    // The third field follows the program's name, which is in parentheses and may hold spaces.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int number = 3; number <= 18; ++number)
        fields >> field;
    return std::stoi(field);
}

TEST(TimeCriticalPriority, TheThreadRunsAtARealTimePolicyAndWhatItStartsAtTheNormalOne) {
    bool granted = false;
    int own = -1;
    int madeThread = -1;
    int childExit = -1;
    std::thread([&] {
        granted = raiseToTimeCriticalPriority();
        if (!granted)
            return;
        own = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        std::thread([&] { madeThread = ::sched_getscheduler(0); }).join();
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::sched_getscheduler(0) == SCHED_OTHER ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        childExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }).join();
    if (!granted)
        GTEST_SKIP() << NO_REAL_TIME;
    EXPECT_EQ(own, SCHED_FIFO);
    EXPECT_EQ(madeThread, SCHED_OTHER);
    EXPECT_EQ(childExit, 0) << "a child process must start at the normal policy";
}

TEST(PriorityInheritingMutex, ItsHolderRunsAtTheWaitingThreadsPriorityUntilItLetsGo) {
    PriorityInheritingMutex mutex;
    mutex.lock();
    std::atomic<int> raised{0}; // 1 granted, 2 refused
    std::atomic<bool> gotIt{false};
    std::thread waiter([&] {
        raised = raiseToTimeCriticalPriority() ? 1 : 2;
        std::scoped_lock lock(mutex);
        gotIt = true;
    });
    ASSERT_TRUE(test::eventually([&] { return raised != 0; }));
    const pid_t self = ::gettid();
    if (raised == 1) {
        EXPECT_TRUE(test::eventually([&] { return kernelPriority(self) < 0; })) << "the holder was not lifted";
    }
    EXPECT_FALSE(gotIt);
    mutex.unlock();
    waiter.join();
    EXPECT_TRUE(gotIt);
    EXPECT_GE(kernelPriority(self), 0) << "the holder must drop back once it lets go";
    if (raised == 2)
        GTEST_SKIP() << NO_REAL_TIME;
}

} // namespace
