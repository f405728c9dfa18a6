#include "scheduling/clock_health.h"

namespace tollwick {

// Windows tells neither whether its time service has synchronised the clock nor how far off it
// may be, and names its zones in a scheme of its own ("W. Europe Standard Time"), not IANA's.
KernelClockState kernelClockState() {
    return {};
}

std::optional<std::string> systemTimeZoneName() {
    return std::nullopt;
}

} // namespace tollwick
