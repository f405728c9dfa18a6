#include "scheduling/clock_health.h"

#include <chrono>

#include "model/local_time.h"
#include "scheduling/clock.h"

namespace tollwick {

namespace {

Json orNull(const auto& value) {
    return value ? Json(*value) : Json(nullptr);
}

// The local wall clock's lead over UTC, read off the platform's own conversion.
int utcOffsetMinutes() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const long long utc = now.time_since_epoch().count();
    return static_cast<int>((wallSecondsOf(clockReadingAt(now)) - utc) / 60);
}

} // namespace

Json clockHealth() {
    const KernelClockState kernel = kernelClockState();
    Json out = Json::object();
    out["synchronised"] = orNull(kernel.synchronised);
    out["maxErrorMs"] = orNull(kernel.maxErrorMs);
    out["timezone"] = orNull(systemTimeZoneName());
    out["utcOffsetMin"] = utcOffsetMinutes();
    return out;
}

} // namespace tollwick
