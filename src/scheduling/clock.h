#pragma once
// The process-wide clock reading. Every part takes "now" from here rather than from the system
// clock, so within one scheduler pass all of them see the same second. Only the scheduler loop
// advances it; readers get either the old or the new reading, never a mixture.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "model/clock_reading.h"
#include "runtime/priority_mutex.h"

namespace tollwick {

// The local time now, as the platform converts it.
ClockReading systemClockReading();
// The same to the millisecond.
LocalMoment systemLocalMoment();

class Clock {
public:
    using Source = std::function<ClockReading()>;

    // Reads the system's local time; takes a first reading at once.
    Clock();
    // Tests pass a source that answers any date and time; its moments are its readings, each at
    // the start of its second.
    explicit Clock(Source source);

    // Reads the source, stores the reading as now and answers it.
    ClockReading updateClock();
    ClockReading getClock() const;

    // The source's time now, to the millisecond; not stored. When a sound starts, for the play log.
    LocalMoment preciseNow() const;

    // The reading formatted with the platform's conventions (%H hour 00-23, %M minute, %S second).
    std::string getTimeString(std::string_view format = "%H:%M:%S") const;
    // The reading's date: the year, the two-digit month and the two-digit day joined by "-".
    std::string getDateString() const;

private:
    Source _source;
    std::function<LocalMoment()> _moment;
    mutable PriorityInheritingMutex _mutex; // guards _now; taken by the scheduler and by requests
    ClockReading _now;
};

// Formats a reading like strftime does.
std::string formatClockReading(const ClockReading& reading, std::string_view format);

// The date text of a reading, e.g. 2024-09-02.
std::string dateStringOf(const ClockReading& reading);

// The reading's wall-clock time as whole seconds since 1970-01-01 00:00:00 of the same wall clock,
// no time zone applied: readings one second apart on the wall clock differ by one, also across
// midnight and month ends, and a daylight-saving change shows as a step of an hour.
long long wallSecondsOf(const ClockReading& reading) noexcept;

// The reading of a wall-clock second counted as wallSecondsOf does, with the weekday and the day of
// the year filled in and the daylight-saving flag given.
ClockReading readingAtWallSeconds(long long seconds, int isDst);

} // namespace tollwick
