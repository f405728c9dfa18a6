#pragma once
// The bound on plays in progress, and which plays give way when it is reached.
#include <cstddef>

#include "runtime/errors.h"

namespace tollwick {

// The plays in progress at once (pauses between repeats included) at which plays by hand are
// refused. A school sounds a handful at once; the bound keeps a flood of requests from starting a
// playing thread and a player program for each.
inline constexpr std::size_t MAX_PLAYS_IN_PROGRESS = 24;

// What a play's origin makes of it once MAX_PLAYS_IN_PROGRESS plays are in progress.
enum class PlayPriority {
    // Asked for from the interface (a signal, an announcement): refused at the bound, and the
    // first to make way for a play that is due.
    BY_HAND,
    // A bell, a programme or the alarm: never refused. At the bound it stops the oldest play by
    // hand to make room, and starts anyway when there is none.
    DUE,
};

// What a refused play by hand says, to the user and in the play log.
inline constexpr const char* TOO_MANY_PLAYS_REASON =
    "Too many sounds are playing at once. Stop some, or wait until they end.";

// A play by hand refused at the bound; its text is TOO_MANY_PLAYS_REASON.
class TooManyPlaysError : public Error {
public:
    TooManyPlaysError() : Error(TOO_MANY_PLAYS_REASON) {}
};

} // namespace tollwick
