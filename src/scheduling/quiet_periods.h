#pragma once
// Quiet periods: times of today during which the timetable's bells (lesson signals and extra
// plays) are not started, as during an exam, and single bells of today that are skipped. Programmes,
// announcements, the alarm and plays from the interface still sound.
//
// They belong to one day: kept in "quiet.json" in the user-data directory, they survive a restart
// on the same day and count for nothing on any other.
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

// The quiet times of one day, as "quiet.json" holds them.
struct QuietDay {
    std::string date; // "yyyy-mm-dd"; quiet times of any other day count for nothing
    std::vector<QuietPeriod> periods;
    std::vector<TimeOfDay> skippedBells;

    // Whether the bells of the second `t` of this day are kept quiet.
    bool isQuiet(const TimeOfDay& t) const noexcept;

    static constexpr auto fields = std::tuple{
        field("date", &QuietDay::date),
        field("periods", &QuietDay::periods),
        field("skippedBells", &QuietDay::skippedBells),
    };
};

class QuietPeriods {
public:
    // What one day holds at most: a school day needs a handful of each, and the file is rewritten
    // whole with every change.
    static constexpr std::size_t MAX_PERIODS = 16;
    static constexpr std::size_t MAX_SKIPPED_BELLS = 64;

    // Reads the quiet times from `path`, which becomes their file. A missing file means none; one
    // that cannot be read is logged and counts as none.
    void load(const std::filesystem::path& path);

    // Whether the timetable's bells due in the second `at` are kept quiet.
    bool isQuiet(const ClockReading& at) const;

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
    // Ends every quiet period and skip of today.
    void clear(const ClockReading& now);

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
