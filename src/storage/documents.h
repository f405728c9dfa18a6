#pragma once
// The records of the stored documents: the database ("_db.json") and the cache ("cache.json").
#include <string>
#include <tuple>

#include "model/audio_asset.h"
#include "model/calendar_records.h"
#include "model/json.h"
#include "model/map_db.h"
#include "model/programme.h"
#include "model/record.h"
#include "model/settings.h"
#include "model/timetable.h"

namespace tollwick {

inline constexpr int EXPECTED_DB_VERSION = 2;

struct DB {
    int dbVersion = EXPECTED_DB_VERSION;
    Settings settings;
    MapDb<AudioAsset> songs;     // by song id
    MapDb<Programme> programmes; // by programme id
    MapDb<TimeTable> timetables; // by timetable id

    // Accepts version 2 as it is and migrates version 1 (songs were kept under "signals");
    // refuses a file without a version or with any other.
    static bool checkAfterLoad(Json& loaded);
    // Resets the database to the factory configuration: default settings and the factory timetable.
    // The built-in signals are added by ensureFactorySongsAvailable.
    void loadFactoryDefault();
    // Adds every built-in signal that is missing, in table order, and mends the md5 of those present;
    // nothing else of a present entry is touched (a renamed signal keeps its name).
    void ensureFactorySongsAvailable();

    static constexpr auto fields = std::tuple{
        field("dbVersion", &DB::dbVersion),   field("settings", &DB::settings),     field("songs", &DB::songs),
        field("programmes", &DB::programmes), field("timetables", &DB::timetables),
    };
};

// The calendar-region registry fetched from the vendor service.
struct Cache {
    MapDb<CalendarRegion> calendarRegions; // by region id
    long long calendarVersion = 0;
    std::string calendarLastUpdated;

    static bool checkAfterLoad(Json&) noexcept { return true; }
    // Replaces all regions by those of `data` (region id to region, kept in its order) and records
    // the registry's version and the date of the update. Fails, changing nothing, when a region
    // cannot be decoded.
    void loadCalendarEntries(const Json& data, long long version, std::string now);
    // The same with the regions already decoded.
    void replaceCalendarRegions(MapDb<CalendarRegion> regions, long long version, std::string now) noexcept;

    static constexpr auto fields = std::tuple{
        field("calendarRegions", &Cache::calendarRegions),
        field("calendarVersion", &Cache::calendarVersion),
        field("calendarLastUpdated", &Cache::calendarLastUpdated),
    };
};

} // namespace tollwick
