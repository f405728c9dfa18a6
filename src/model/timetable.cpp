#include "model/timetable.h"

#include "runtime/errors.h"

namespace tollwick {

SignalTable& TimeTable::chAt(int i) {
    switch (i) {
    case 0:
        return chA;
    case 1:
        return chB;
    default:
        throw KeyError("No channel " + std::to_string(i) + " in a timetable");
    }
}

} // namespace tollwick
