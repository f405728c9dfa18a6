#pragma once
// A clock source that tests set to any local date and time and step by hand.
#include <memory>

#include <date/date.h>

#include "scheduling/clock.h"

namespace tollwick::test {

// A reading of a civil date and time, with weekday and day of the year filled in.
ClockReading readingAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

class FakeTime {
public:
    FakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
        : _reading(std::make_shared<ClockReading>(readingAt(year, month, day, hour, minute, second))) {}

    // A clock whose readings follow this fake time.
    Clock::Source source() const {
        return [reading = _reading] { return *reading; };
    }
    void set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        *_reading = readingAt(year, month, day, hour, minute, second);
    }
    // Moves on by whole seconds, across midnight and month ends as the calendar does.
    void advance(long seconds);
    const ClockReading& reading() const { return *_reading; }

private:
    std::shared_ptr<ClockReading> _reading;
};

} // namespace tollwick::test
