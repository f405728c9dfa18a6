#pragma once
// A broken-down local time as the clock hands it to every part of the system.
namespace tollwick {

struct ClockReading {
    int year = 1900;
    int month = 1; // 1 to 12
    int day = 1;   // day of the month
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0; // 0 = Monday to 6 = Sunday
    int yearDay = 1; // 1 to 366
    int isDst = 0;   // as the platform's local-time conversion reports it

    bool operator==(const ClockReading&) const = default;
};

// A reading to the millisecond: when a sound started, for the play log.
struct LocalMoment {
    ClockReading reading;
    int millisecond = 0; // 0 to 999
};

} // namespace tollwick
