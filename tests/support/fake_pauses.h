#pragma once
// A pause clock whose time moves only when the test moves it, so that the pauses of a play take
// no real time and a test reads exactly how long each lasted. Aborts cut its pauses short at once,
// as on the real clock. A recording file player made with it (PlayRecorder::create(pauses))
// sounds by its time too.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "audio/pause_clock.h"

namespace tollwick::test {

class FakePauses : public PauseClock {
public:
    // Starts at Time{}.
    Time now() const override;
    void wake() noexcept override;

    // Every pause asked for so far, in order, with the length asked, the polls of sounding files
    // and pauses cut short included.
    std::vector<Duration> asked() const;

    // Until `done()` holds: whenever a pause is under way, moves time on to the end of the first
    // one, so that playing threads go through their pauses as if they took no time. False when
    // `done()` still did not hold after `limit` of real time. `done()` is asked before each step,
    // while the pauses that the step would end are still under way: a thread found pausing when
    // `done()` first holds is still in that pause when this returns.
    //
    // Each step waits for no thread but the one it ends; with several threads playing at once,
    // one may see time move while it is between two pauses.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));

protected:
    void waitFor(Duration length, const CutShort& cutShort) override;

private:
    struct Pause {
        Time end;
        const CutShort* cutShort;
    };

    mutable std::mutex _mutex; // guards everything here
    // Time moved, a pause began or ended, or a wake came.
    std::condition_variable _changed;
    Time _now{};
    std::map<std::uint64_t, Pause> _underWay; // by the number of the pause
    std::uint64_t _pauses = 0;
    std::vector<Duration> _asked;
};

} // namespace tollwick::test
