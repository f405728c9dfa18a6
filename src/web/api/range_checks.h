#pragma once
// Limits on the repeat counts and pauses that reach the API. A play repeated without end or
// paused for hours is no bell; the interface offers the same limits.
#include "model/settings.h"
#include "model/timetable.h"

namespace tollwick::web {

// Refuses, with InvalidValueError naming the field, a timetable with a play whose iterations lie
// outside 1 to 100 or whose delaySec lies outside 0 to 600 seconds.
void checkRanges(const TimeTable& timetable);

// Refuses, with InvalidValueError, settings whose alarmDelaySec lies outside 0 to 600 seconds.
void checkRanges(const Settings& settings);

// Refuses, with InvalidValueError, a language the interface does not speak.
void checkLanguage(const std::string& language);

} // namespace tollwick::web
