#pragma once
// How to play one signal: which song, and whether and how to repeat it.
#include <string>
#include <tuple>

#include "model/factory_ids.h"
#include "model/record.h"

namespace tollwick {

struct PlayDesc {
    // What the API accepts for iterations and delaySec (and for the alarm's delay).
    static constexpr int MIN_ITERATIONS = 1;
    static constexpr int MAX_ITERATIONS = 100;
    static constexpr double MAX_DELAY_SEC = 600.0;

    std::string id = NULL_ID; // the AudioAsset to play; "NULL" plays nothing
    bool doRepeat = false;
    int iterations = 2;    // number of plays when doRepeat is set
    double delaySec = 1.0; // silence between repeated plays

    static constexpr auto fields = std::tuple{
        field("id", &PlayDesc::id),
        field("doRepeat", &PlayDesc::doRepeat),
        field("iterations", &PlayDesc::iterations),
        field("delaySec", &PlayDesc::delaySec),
    };
};

} // namespace tollwick
