#pragma once
// Timetables: two channels of lesson bells and the extra plays of the day.
#include <string>
#include <tuple>
#include <vector>

#include "model/lesson.h"
#include "model/play_desc.h"
#include "model/record.h"

namespace tollwick {

// The bells of one channel.
struct SignalTable {
    std::vector<Lesson> lessons = Lesson::defaults(); // in the order the user keeps them
    PlayDesc startOfClass;                            // at each lesson's start
    PlayDesc endOfClass;                              // at each lesson's end
    int preStartWaitMin = 5;                          // minutes before a start at which preStart rings
    PlayDesc preStart;
    int preEndWaitMin = 5; // minutes before an end at which preEnd rings
    PlayDesc preEnd;

    static constexpr auto fields = std::tuple{
        field("lessons", &SignalTable::lessons),
        field("startOfClass", &SignalTable::startOfClass),
        field("endOfClass", &SignalTable::endOfClass),
        field("preStartWaitMin", &SignalTable::preStartWaitMin),
        field("preStart", &SignalTable::preStart),
        field("preEndWaitMin", &SignalTable::preEndWaitMin),
        field("preEnd", &SignalTable::preEnd),
    };
};

// An extra play at fixed times of the day.
struct UserPlay {
    PlayDesc desc;
    std::vector<TimeOfDay> slots;

    static constexpr auto fields = std::tuple{
        field("desc", &UserPlay::desc),
        field("slots", &UserPlay::slots),
    };
};

struct TimeTable {
    std::string name = "Default";
    SignalTable chA; // channel 0
    SignalTable chB; // channel 1
    std::vector<UserPlay> customPlays;

    // The channel itself by index (0 or 1); any other index fails with KeyError.
    SignalTable& chAt(int i);
    const SignalTable& chAt(int i) const { return const_cast<TimeTable*>(this)->chAt(i); }

    static constexpr auto fields = std::tuple{
        field("name", &TimeTable::name),
        field("chA", &TimeTable::chA),
        field("chB", &TimeTable::chB),
        field("customPlays", &TimeTable::customPlays),
    };
};

} // namespace tollwick
