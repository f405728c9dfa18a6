#pragma once
// One entry of the play log: a play the system started, skipped or failed to start, when it was
// due, when its sound began and how it ended.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "model/clock_reading.h"
#include "model/record.h"

namespace tollwick {

// What made a play.
enum class PlaySource {
    LESSON_START,
    LESSON_END,
    PRE_START,
    PRE_END,
    EXTRA_PLAY,
    PROGRAMME,
    ALARM,
    ANNOUNCEMENT,
    MANUAL
};

template <>
struct EnumTexts<PlaySource> {
    static constexpr std::array texts{
        std::pair{PlaySource::LESSON_START, std::string_view("lessonStart")},
        std::pair{PlaySource::LESSON_END, std::string_view("lessonEnd")},
        std::pair{PlaySource::PRE_START, std::string_view("preStart")},
        std::pair{PlaySource::PRE_END, std::string_view("preEnd")},
        std::pair{PlaySource::EXTRA_PLAY, std::string_view("extraPlay")},
        std::pair{PlaySource::PROGRAMME, std::string_view("programme")},
        std::pair{PlaySource::ALARM, std::string_view("alarm")},
        std::pair{PlaySource::ANNOUNCEMENT, std::string_view("announcement")},
        std::pair{PlaySource::MANUAL, std::string_view("manual")},
    };
};

// Whether plays of `source` are bells of a timetable: lesson signals and extra plays.
bool isTimetableSource(PlaySource source) noexcept;
// Whether the scheduler starts plays of `source`: the timetable's bells and the programmes. Plays
// by hand, announcements and the alarm are not its.
bool isScheduledSource(PlaySource source) noexcept;

// How a play ended. A play that is still sounding counts as played.
enum class PlayOutcome { PLAYED, STOPPED, FAILED, SKIPPED };

template <>
struct EnumTexts<PlayOutcome> {
    static constexpr std::array texts{
        std::pair{PlayOutcome::PLAYED, std::string_view("played")},
        std::pair{PlayOutcome::STOPPED, std::string_view("stopped")},
        std::pair{PlayOutcome::FAILED, std::string_view("failed")},
        std::pair{PlayOutcome::SKIPPED, std::string_view("skipped")},
    };
};

struct PlayLogEntry {
    std::string id;                     // one play: a later state of it carries the same id
    std::string due;                    // the second it was due, local: "2024-09-02T08:00:00"
    std::optional<std::string> started; // when its sound began, local: "2024-09-02T08:00:00.002"
    std::optional<long long> lateMs;    // started minus due (for a play on request: minus the request)
    PlaySource source = PlaySource::MANUAL;
    std::optional<int> lesson; // the lesson's number from 1, for lesson signals
    std::string songId;
    std::string songName;
    PlayOutcome outcome = PlayOutcome::PLAYED;
    std::string detail; // why it failed or was skipped

    // The date part of `due`, which names the day's file.
    std::string dueDate() const { return due.substr(0, 10); }

    // The entry as an answer shows it: every member but the id.
    Json toAnswer() const;

    static constexpr auto fields = std::tuple{
        field("id", &PlayLogEntry::id),           field("due", &PlayLogEntry::due),
        field("started", &PlayLogEntry::started), field("lateMs", &PlayLogEntry::lateMs),
        field("source", &PlayLogEntry::source),   field("lesson", &PlayLogEntry::lesson),
        field("songId", &PlayLogEntry::songId),   field("songName", &PlayLogEntry::songName),
        field("outcome", &PlayLogEntry::outcome), field("detail", &PlayLogEntry::detail),
    };
};

// The play log's reasons for a bell that the scheduler did not ring; the interface explains them.
inline constexpr std::string_view QUIET_REASON = "quiet period";
inline constexpr std::string_view BELLS_OFF_REASON = "bells off";

// "2024-09-02T08:00:00": a reading as local ISO 8601 text.
std::string isoSecondText(const ClockReading& reading);
// "2024-09-02T08:00:00.002".
std::string isoMillisecondText(const LocalMoment& moment);
// Milliseconds from the second `due` to `moment`, on the wall clock.
long long millisecondsAfter(const ClockReading& due, const LocalMoment& moment);

} // namespace tollwick
