#pragma once
// PauseClock: the time a playing thread pauses by: the delay between two files, the retry pause of
// an endless repeat whose files end at once, and the tick between two polls of a sounding file.
// Every Player has one; the real one follows std::chrono::steady_clock, and tests hand in one
// whose time moves only when they move it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace tollwick {

class PauseClock {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;
    // Whether a pause is to end before its time. Called under the clock's own lock, from the
    // pausing thread and perhaps from others: it reads atomics and nothing else.
    using CutShort = std::function<bool()>;

    PauseClock() = default;
    PauseClock(const PauseClock&) = delete;
    PauseClock& operator=(const PauseClock&) = delete;
    virtual ~PauseClock() = default;

    // This clock's time now; steady, never going back.
    virtual Time now() const = 0;

    // Pauses for `length` of this clock's time, or less: not at all when `cutShort()` holds at
    // once, and no longer than until it holds at a wake(). No pause for zero, a negative length or
    // NaN; ten years (for ever, here) at most, so that no length overflows the clock arithmetic.
    void pause(std::chrono::duration<double> length, const CutShort& cutShort);

    // Has every pause under way ask its cutShort again; call after changing what one reads.
    virtual void wake() noexcept = 0;

protected:
    // pause() once it has bounded `length`.
    virtual void waitFor(Duration length, const CutShort& cutShort) = 0;
};

// The pauses of the running system, on the steady clock.
class SteadyPauseClock final : public PauseClock {
public:
    Time now() const override { return std::chrono::steady_clock::now(); }
    void wake() noexcept override;

protected:
    void waitFor(Duration length, const CutShort& cutShort) override;

private:
    // Taken by wake() too, so that a pause between its look at cutShort and its wait cannot miss
    // the wake.
    std::mutex _mutex;
    std::condition_variable _woken;
};

} // namespace tollwick
