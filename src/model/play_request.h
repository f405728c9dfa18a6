#pragma once
// A play made plain: the files to play and how, with nothing left to look up. The scheduler, the
// alarm and the interface resolve what they want played into one (under the document mutex, from
// the database); the player plays it without needing the documents again.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tollwick {

// How many times a play's files are played over; ENDLESS plays them until the play is stopped.
using Rounds = std::uint64_t;
inline constexpr Rounds ENDLESS = std::numeric_limits<Rounds>::max();

struct PlayRequest {
    std::string songId;             // what the play log names it by
    std::string songName;           // shown beside it in the play log
    std::vector<std::string> paths; // played in this order, each round
    Rounds rounds = 1;              // 0 plays nothing
    double delay = 0.0;             // seconds of silence after every file that another follows
    std::vector<std::string> removeWhenDone; // files deleted once the play has ended
};

} // namespace tollwick
