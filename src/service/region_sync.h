#pragma once
// The periodic contact with the vendor service and the refresh of the cached calendar-region
// registry. Both run on the scheduler thread. They take the document lock only around their reads
// and changes of the cache, never while the service is being asked.
#include "scheduling/clock.h"
#include "service/api.h"
#include "storage/store.h"

namespace tollwick {

// Pings the service. When the service names a newer registry version than the cached one, the
// registry is fetched (updateCalendarRegions); otherwise the cache's calendarLastUpdated becomes
// today's date, recording that the cached registry was confirmed current.
// A failed ping changes nothing (the client has logged it). An ok answer that is not a JSON object
// with an integer "calendarVersion" fails with KeyError or TypeError, changing nothing.
void phoneHome(Api& api, Documents& docs, const Clock& clock);

// Fetches the registry and replaces the cached regions, version and date with it as a whole.
// A failed request changes nothing. An ok answer that is not a JSON object with an object
// "entries" and an integer "version", or whose regions cannot be decoded, fails with an Error,
// changing nothing.
void updateCalendarRegions(Api& api, Documents& docs, const Clock& clock);

} // namespace tollwick
