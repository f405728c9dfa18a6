#pragma once
// Limits on the repeat counts and pauses that reach the API. A play repeated without end or
// paused for hours is no bell; the interface offers the same limits.
#include <cstddef>
#include <string>
#include <vector>

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

// Refuses, with InvalidValueError naming the member, a school's name longer than MAX_SCHOOL_NAME
// characters or with a line break or other control character in it.
void checkSchoolName(const std::string& name);

// Refuses, with InvalidValueError naming the member, more than MAX_ALERT_TARGETS alert targets, a
// target whose address is not an http:// or https:// URL of at most MAX_ALERT_URL bytes, and an
// event name that is unknown or given twice.
void checkAlertTargets(const std::vector<AlertTarget>& targets);

inline constexpr std::size_t MAX_SCHOOL_NAME = 120;
inline constexpr std::size_t MAX_ALERT_TARGETS = 10;
inline constexpr std::size_t MAX_ALERT_URL = 2000;

} // namespace tollwick::web
