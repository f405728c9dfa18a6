#include "storage/documents.h"

#include "model/factory_ids.h"
#include "storage/factory_songs.h"

namespace tollwick {

bool DB::checkAfterLoad(Json& loaded) {
    if (!loaded.is_object())
        return false;
    const auto found = loaded.find("dbVersion");
    const std::optional<int> version = found == loaded.end() ? std::nullopt : detail::integralValue<int>(*found);
    if (version == 1) {
        // A version-1 file without songs has none: an empty map, not null.
        const auto signals = loaded.find("signals");
        loaded["songs"] = signals != loaded.end() && !signals->is_null() ? *signals : Json::object();
        loaded["dbVersion"] = EXPECTED_DB_VERSION;
        return true;
    }
    return version == EXPECTED_DB_VERSION;
}

void DB::loadFactoryDefault() {
    *this = DB{};
    TimeTable tt;
    for (int i : {0, 1}) {
        SignalTable& ch = tt.chAt(i);
        ch.startOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        ch.endOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        ch.preStart.id = FACTORY_DEFAULT_SIGNAL_ID_PING;
        ch.preEnd.id = FACTORY_DEFAULT_SIGNAL_ID_PING;
    }
    timetables.add(std::move(tt), FACTORY_DEFAULT_TIMETABLE_ID);
}

void DB::ensureFactorySongsAvailable() {
    for (const FactorySong& row : FACTORY_SONGS) {
        const std::string id(row.id);
        if (AudioAsset* existing = songs.find(id)) {
            if (existing->md5 != row.md5)
                existing->md5 = row.md5;
            continue;
        }
        songs.add(AudioAsset{std::string(row.name), std::string(row.md5), std::string(row.filename), row.lengthSec,
                             AudioAssetCategory::BUILT_IN_SIGNAL},
                  id);
    }
}

void Cache::loadCalendarEntries(const Json& data, long long version, std::string now) {
    if (!data.is_object())
        throw TypeError("fromDict: the argument 'data' must be a JSON object");
    replaceCalendarRegions(MapDb<CalendarRegion>::decode(data), version, std::move(now));
}

void Cache::replaceCalendarRegions(MapDb<CalendarRegion> regions, long long version, std::string now) noexcept {
    calendarRegions = std::move(regions);
    calendarVersion = version;
    calendarLastUpdated = std::move(now);
}

} // namespace tollwick
