#pragma once
// The records of the stored documents: the database ("_db.json") and the cache ("cache.json").
#include <string>
#include <tuple>

#include "model/audio_asset.h"
#include "model/calendar_records.h"
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
    MapDb<AudioAsset> songs;      // by song id
    MapDb<Programme> programmes;  // by programme id
    MapDb<TimeTable> timetables;  // by timetable id

    static constexpr auto fields = std::tuple{
        field("dbVersion", &DB::dbVersion),
        field("settings", &DB::settings),
        field("songs", &DB::songs),
        field("programmes", &DB::programmes),
        field("timetables", &DB::timetables),
    };
};

// The calendar-region registry fetched from the vendor service.
struct Cache {
    MapDb<CalendarRegion> calendarRegions; // by region id
    long long calendarVersion = 0;
    std::string calendarLastUpdated;

    static constexpr auto fields = std::tuple{
        field("calendarRegions", &Cache::calendarRegions),
        field("calendarVersion", &Cache::calendarVersion),
        field("calendarLastUpdated", &Cache::calendarLastUpdated),
    };
};

} // namespace tollwick
