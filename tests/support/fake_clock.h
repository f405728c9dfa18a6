#pragma once
// A clock source that tests set to any local date and time and step by hand.
#include <memory>
#include <mutex>

#include <date/date.h>

#include "scheduling/clock.h"

namespace tollwick::test {

// A reading of a civil date and time, with weekday and day of the year filled in.
ClockReading readingAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Playing threads read the time too (when a sound starts), so the reading is guarded.
class FakeTime {
public:
    FakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
        : _shared(std::make_shared<Shared>(readingAt(year, month, day, hour, minute, second))) {}

    // A clock whose readings follow this fake time.
    Clock::Source source() const {
        return [shared = _shared] { return shared->get(); };
    }
    void set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        _shared->put(readingAt(year, month, day, hour, minute, second));
    }
    // Moves on by whole seconds, across midnight and month ends as the calendar does.
    void advance(long seconds);
    ClockReading reading() const { return _shared->get(); }

private:
    struct Shared {
        explicit Shared(const ClockReading& first) : reading(first) {}
        ClockReading get() {
            std::scoped_lock lock(mutex);
            return reading;
        }
        void put(const ClockReading& next) {
            std::scoped_lock lock(mutex);
            reading = next;
        }
        std::mutex mutex;
        ClockReading reading;
    };
    std::shared_ptr<Shared> _shared;
};

} // namespace tollwick::test
