#pragma once
// The platform's local-time conversion, behind one function per question.
#include <chrono>
#include <ctime>

#include "model/clock_reading.h"

namespace tollwick {

// The broken-down local time of a moment, with the platform's time zone rules.
std::tm localTm(std::time_t t);

// The clock reading of a moment in local time.
ClockReading clockReadingAt(std::chrono::system_clock::time_point t);

} // namespace tollwick
