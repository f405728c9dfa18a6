#pragma once
// What became of today's bells: the timetable's bells matched against the play log of the day,
// each marked as it rang, failed or was skipped, or as still to come, kept quiet or missed.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/play_log_entry.h"
#include "model/time_of_day.h"
#include "scheduling/day_bells.h"
#include "scheduling/quiet_periods.h"

namespace tollwick {

enum class BellMark { PLAYED, STOPPED, FAILED, SKIPPED, COMING, QUIET, MISSED };

template <>
struct EnumTexts<BellMark> {
    static constexpr std::array texts{
        std::pair{BellMark::PLAYED, std::string_view("played")},
        std::pair{BellMark::STOPPED, std::string_view("stopped")},
        std::pair{BellMark::FAILED, std::string_view("failed")},
        std::pair{BellMark::SKIPPED, std::string_view("skipped")},
        std::pair{BellMark::COMING, std::string_view("coming")},
        std::pair{BellMark::QUIET, std::string_view("quiet")},
        std::pair{BellMark::MISSED, std::string_view("missed")},
    };
};

// A bell of the timetable in force, with its song's name as the interface shows it.
struct NamedBell {
    DayBell bell;
    std::string songName;
};

struct MarkedBell {
    std::string at; // "HH:MM:SS", the second it is or was due
    BellMark mark = BellMark::COMING;
    // The log's last word on the bell: its mark is the entry's outcome. None for a bell the log
    // does not hold.
    std::optional<PlayLogEntry> logged;
    // The timetable's bell. None for a logged bell of a timetable that was in force earlier today.
    std::optional<NamedBell> planned;
};

// Today's bells (bellsOfDay, in its order) with what became of each, by the second they are due.
// A bell matches the latest entry of `log` due in its second with its source and lesson that an
// earlier bell did not take; one without an entry is COMING from the second `now` on (QUIET
// when `quiet` keeps it so) and MISSED before. Logged timetable bells that no bell took follow as
// rows of their own. Entries of other sources (programmes, plays by hand, the alarm) are left out.
std::vector<MarkedBell> markTodaysBells(std::vector<NamedBell> bells, std::vector<PlayLogEntry> log,
                                        const QuietDay& quiet, const TimeOfDay& now);

} // namespace tollwick
