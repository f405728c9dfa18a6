#pragma once
// A one-off play of a song at a date and time, stored in db.programmes under its id.
#include <string>
#include <string_view>
#include <tuple>

#include "model/date.h"
#include "model/factory_ids.h"
#include "model/record.h"
#include "model/time_of_day.h"

namespace tollwick {

struct Programme {
    std::string songId = NULL_ID;
    Date date;
    TimeOfDay time;
    bool deleteAfterPlay = true; // remove the programme and its song once played

    // Fails with the errors of Date::decode and TimeOfDay::decode; the song id is taken unchecked.
    static Programme fromUserInput(std::string id, std::string_view date, std::string_view time);

    static constexpr auto fields = std::tuple{
        field("songId", &Programme::songId),
        field("date", &Programme::date),
        field("time", &Programme::time),
        field("deleteAfterPlay", &Programme::deleteAfterPlay),
    };
};

} // namespace tollwick
