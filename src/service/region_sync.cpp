#include "service/region_sync.h"

#include <limits>
#include <mutex>
#include <string>

#include <spdlog/spdlog.h>

#include "model/json.h"
#include "runtime/errors.h"

namespace tollwick {

namespace {

const Json& requireObject(const ServiceAnswer& answer, const char* what) {
    if (!answer.isJson() || !answer.asJson().is_object())
        throw TypeError(std::string("The ") + what + " answer is not a JSON object: " + answer.describe());
    return answer.asJson();
}

const Json& requireMember(const Json& object, const char* member, const char* what) {
    const auto found = object.find(member);
    if (found == object.end())
        throw KeyError(std::string("The ") + what + " answer has no '" + member + "'");
    return *found;
}

long long requireInteger(const Json& object, const char* member, const char* what) {
    const Json& value = requireMember(object, member, what);
    if (!value.is_number_integer())
        throw TypeError(std::string("The ") + what + " answer's '" + member + "' is not an integer");
    if (value.is_number_unsigned() && value.get<unsigned long long>() > std::numeric_limits<long long>::max())
        throw InvalidValueError(std::string("The ") + what + " answer's '" + member + "' is too large");
    return value.get<long long>();
}

} // namespace

void phoneHome(Api& api, Documents& docs, const Clock& clock) {
    const Result<ServiceAnswer> r = api.ping();
    if (!r.isOk())
        return;
    const long long newestVersion = requireInteger(requireObject(r.getValue(), "ping"), "calendarVersion", "ping");

    {
        std::scoped_lock lock(docs.mutex);
        if (!(docs.cache->calendarVersion < newestVersion)) {
            docs.cache.edit().calendarLastUpdated = clock.getDateString();
            return;
        }
    }
    updateCalendarRegions(api, docs, clock);
}

void updateCalendarRegions(Api& api, Documents& docs, const Clock& clock) {
    spdlog::debug("Attempting to update calendar");
    const Result<ServiceAnswer> r = api.getCalendarRegistry();
    if (!r.isOk())
        return;
    const Json& info = requireObject(r.getValue(), "calendar registry");
    const Json& entries = requireMember(info, "entries", "calendar registry");
    if (!entries.is_object())
        throw TypeError("The calendar registry answer's 'entries' is not an object");
    const long long version = requireInteger(info, "version", "calendar registry");

    // Decoded before the mutex is taken: the registry is large, and the bells must not wait for
    // it. A bad region fails here and changes nothing.
    MapDb<CalendarRegion> regions = MapDb<CalendarRegion>::decode(entries);
    {
        std::scoped_lock lock(docs.mutex);
        docs.cache.edit().replaceCalendarRegions(std::move(regions), version, clock.getDateString());
    }
    spdlog::info("Calendar has been synchronized");
}

} // namespace tollwick
