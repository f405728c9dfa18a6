// A play asked for by a thread running below normal priority (a request worker) must not play at
// that low priority: on POSIX systems a thread and a child process take the nice value of the
// thread that makes them.
#include "audio/player.h"
#include "scheduling/clock.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace tollwick {
namespace {

using namespace std::chrono_literals;

int ownNiceness() {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

// Notes the nice value of each thread that starts or polls a file; a file sounds 20 ms.
struct NicenessSeen {
    std::mutex mutex;
    std::vector<int> starts, polls;
};

class NicenessPlayer : public FilePlayer {
public:
    NicenessPlayer(std::shared_ptr<NicenessSeen> seen, bool anyThread)
        : _seen(std::move(seen)), _anyThread(anyThread) {}
    void startPlay(const std::string&) override {
        std::scoped_lock lock(_seen->mutex);
        _seen->starts.push_back(ownNiceness());
        _end = std::chrono::steady_clock::now() + 20ms;
    }
    bool isPlaying() override {
        std::scoped_lock lock(_seen->mutex);
        _seen->polls.push_back(ownNiceness());
        return std::chrono::steady_clock::now() < _end;
    }
    void closeFile(bool) override {}
    bool startsOnAnyThread() const noexcept override { return _anyThread; }

private:
    std::shared_ptr<NicenessSeen> _seen;
    bool _anyThread;
    std::chrono::steady_clock::time_point _end;
};

TEST(PlayerPriority, APlayAskedForByALoweredThreadRunsAtThePlayersPriority) {
    test::TempDir dir;
    const std::string bell = (dir.path() / "bell.mp3").string();
    std::ofstream(bell) << "sound";
    test::FakeTime time{2026, 12, 9, 8, 0, 0};
    Clock clock{time.source()};
    const int normal = ownNiceness();
    ASSERT_LT(normal, 10) << "the test needs room to lower a thread";
    for (const bool anyThread : {false, true}) {
        SCOPED_TRACE(anyThread ? "first file started by the asking side" : "every file started by the playing thread");
        const auto seen = std::make_shared<NicenessSeen>();
        Player player{clock, [&] { return std::make_unique<NicenessPlayer>(seen, anyThread); }};
        std::thread worker([&] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
            ASSERT_EQ(ownNiceness(), 10);
            EXPECT_NE(player.play({.paths = {bell}, .rounds = 2}), nullptr);
        });
        worker.join();
        ASSERT_TRUE(player.waitUntilAllEnded(10s));
        std::scoped_lock lock(seen->mutex);
        EXPECT_EQ(seen->starts, std::vector<int>(2, normal));
        ASSERT_FALSE(seen->polls.empty());
        for (const int niceness : seen->polls)
            EXPECT_EQ(niceness, normal);
    }
}

} // namespace
} // namespace tollwick
