#pragma once
// How far the system clock, which the bells follow, can be trusted: whether the operating system
// keeps it synchronised, its maximum error, and the time zone it is read in.
#include <optional>
#include <string>

#include "model/json.h"

namespace tollwick {

// The kernel's own view of its clock; none where the platform cannot tell.
struct KernelClockState {
    std::optional<bool> synchronised;
    std::optional<long long> maxErrorMs;
};

// Platform: the kernel's clock state (adjtimex/ntp_adjtime where there is one).
KernelClockState kernelClockState();
// Platform: the IANA name of the system's time zone ("Europe/Vienna"), where the system knows it.
std::optional<std::string> systemTimeZoneName();

// {"synchronised", "maxErrorMs", "timezone", "utcOffsetMin"}: the state now, with the offset of
// local time from UTC in minutes.
Json clockHealth();

} // namespace tollwick
