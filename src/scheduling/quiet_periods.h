#pragma once
// Quiet periods: times during which the timetable's bells (lesson signals and extra plays) are not
// started, as during an exam, and single bells of today that are skipped. The alarm and plays from
// the interface always sound.
//
// Today's quick periods and skips belong to one day, and leave programmes and announcements to
// sound. Planned periods belong to a date of their own, carry a name, and hold the programmes
// booked inside them too unless they say otherwise. All are kept in "quiet.json" in the user-data
// directory and survive a restart; planned periods that are over are dropped.
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "model/clock_reading.h"
#include "model/record.h"
#include "model/time_of_day.h"
#include "runtime/priority_mutex.h"

namespace tollwick {

// From `from` up to, not including, `to`: a bell at `to` rings.
struct QuietPeriod {
    TimeOfDay from;
    TimeOfDay to;

    bool covers(const TimeOfDay& t) const noexcept { return !(from > t) && t < to; }

    static constexpr auto fields = std::tuple{field("from", &QuietPeriod::from), field("to", &QuietPeriod::to)};
};

// A quiet period planned for a date, as for an exam on Thursday.
struct PlannedQuiet {
    std::string id;   // unique among the planned periods
    std::string date; // "yyyy-mm-dd"
    TimeOfDay from;
    TimeOfDay to;      // as QuietPeriod: a bell at `to` rings
    std::string name;  // what it is for, such as "Maths exam, 10B"; may be empty
    bool holdProgrammes = true; // programmes and booked announcements inside it are held too

    bool covers(const std::string& day, const TimeOfDay& t) const noexcept {
        return date == day && QuietPeriod{from, to}.covers(t);
    }

    static constexpr auto fields = std::tuple{
        field("id", &PlannedQuiet::id),
        field("date", &PlannedQuiet::date),
        field("from", &PlannedQuiet::from),
        field("to", &PlannedQuiet::to),
        field("name", &PlannedQuiet::name),
        field("holdProgrammes", &PlannedQuiet::holdProgrammes),
    };
};

// The quiet times, as "quiet.json" holds them: today's quick periods and skips, and the planned
// periods of any date (files from before planning lack them).
struct QuietDay {
    std::string date; // "yyyy-mm-dd"; the quick periods and skips of any other day count for nothing
    std::vector<QuietPeriod> periods;
    std::vector<TimeOfDay> skippedBells;
    std::vector<PlannedQuiet> planned; // ordered by date and start

    // Whether the bells of the second `t` of this day are kept quiet.
    bool isQuiet(const TimeOfDay& t) const noexcept;
    // The planned period of this day that covers `t` and was planned first; null when none.
    const PlannedQuiet* plannedAt(const TimeOfDay& t) const noexcept;

    static constexpr auto fields = std::tuple{
        field("date", &QuietDay::date),
        field("periods", &QuietDay::periods),
        field("skippedBells", &QuietDay::skippedBells),
        field("planned", &QuietDay::planned),
    };
};

class QuietPeriods {
public:
    // What one day holds at most: a school day needs a handful of each, and the file is rewritten
    // whole with every change.
    static constexpr std::size_t MAX_PERIODS = 16;
    static constexpr std::size_t MAX_SKIPPED_BELLS = 64;
    // Planned periods to come: a school year's exams, with room to spare.
    static constexpr std::size_t MAX_PLANNED = 500;
    static constexpr std::size_t MAX_NAME_BYTES = 200;

    // Reads the quiet times from `path`, which becomes their file. A missing file means none; one
    // that cannot be read is logged and counts as none.
    void load(const std::filesystem::path& path);

    // What is kept quiet in one second: the timetable's bells, and the programmes as well.
    struct Quietness {
        bool bells = false;
        bool programmes = false; // held by a planned period
    };
    Quietness quietAt(const ClockReading& at) const;
    // Whether the timetable's bells due in the second `at` are kept quiet.
    bool isQuiet(const ClockReading& at) const { return quietAt(at).bells; }
    // Whether the programmes due in the second `at` are held by a planned period.
    bool holdsProgrammes(const ClockReading& at) const { return quietAt(at).programmes; }

    // The quiet times of the day of `now` (empty on any other day than the stored one).
    QuietDay today(const ClockReading& now) const;

    // Each change applies to the day of `now` and is written to the file before it answers; when
    // the file cannot be written the change is undone and an Error says why. A change that
    // changes nothing (a period or skip already kept) answers at once and leaves the file as it is.
    //
    // Keeps the bells quiet from `from` up to `to`; InvalidValueError when `to` is not after
    // `from`, or not after now, or when the day already holds MAX_PERIODS periods.
    void mute(const ClockReading& now, const TimeOfDay& from, const TimeOfDay& to);
    // Skips the bells due at `bell`; InvalidValueError when the day already skips
    // MAX_SKIPPED_BELLS bells.
    void skip(const ClockReading& now, const TimeOfDay& bell);
    // Ends every quiet period and skip of today; planned periods stay.
    void clear(const ClockReading& now);

    // The planned periods that are not over at `now`, by date and start.
    std::vector<PlannedQuiet> planned(const ClockReading& now) const;
    // Plans `period` (its id is given here, and answered). InvalidValueError when its date is no
    // date, its end is not after its start or is already over, its name is longer than
    // MAX_NAME_BYTES, or MAX_PLANNED periods are planned. The same date and times
    // planned again change the name and the holding of the period already planned.
    std::string plan(const ClockReading& now, PlannedQuiet period);
    // Drops the planned period `id`; KeyError "Key not found: <id>" when there is none.
    void unplan(const ClockReading& now, const std::string& id);
    // Drops the planned periods that are over, from the file too.
    void dropExpired(const ClockReading& now);

private:
    // Applies `change` to a copy of today's quiet times and, when it answers true (it changed
    // them), keeps and writes them. A change that throws leaves everything as it was.
    template <class Change>
    void change(const ClockReading& now, Change&& change);

    std::filesystem::path _path;
    std::mutex _changeMutex;                // one change at a time, so that the file holds the newest state
    mutable PriorityInheritingMutex _mutex; // guards _day; read by the scheduler for every bell
    QuietDay _day;
};

} // namespace tollwick
