#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scheduling/bell_marks.h"

using namespace tollwick;

namespace {

using Rows = std::vector<std::string>;

NamedBell bell(const char* at, PlaySource source, std::optional<int> lesson = std::nullopt) {
    return {DayBell{TimeOfDay::decode(at), source, lesson, PlayDesc{"ID_ping"}}, "ping"};
}

PlayLogEntry entry(const char* at, PlaySource source, std::optional<int> lesson, PlayOutcome outcome,
                   const char* detail = "") {
    PlayLogEntry e;
    e.due = std::string("2024-09-02T") + at;
    e.source = source;
    e.lesson = lesson;
    e.outcome = outcome;
    e.detail = detail;
    return e;
}

// "<at> <mark>", with " [<detail>]" when a log entry gave the mark and " (log only)" for a row no
// timetable bell has.
Rows rowsOf(const std::vector<MarkedBell>& marked) {
    Rows out;
    for (const MarkedBell& m : marked) {
        std::string row = m.at + " " + std::string(enumText(m.mark));
        if (m.logged)
            row += " [" + m.logged->detail + "]";
        if (!m.planned)
            row += " (log only)";
        out.push_back(row);
    }
    return out;
}

constexpr auto START = PlaySource::LESSON_START;
constexpr auto END = PlaySource::LESSON_END;
constexpr auto EXTRA = PlaySource::EXTRA_PLAY;

TEST(BellMarks, EachBellTakesItsOwnEntryOrIsMarkedByTheTimeOfDay) {
    const std::vector<NamedBell> bells = {bell("08:00", START, 1), bell("08:45", END, 1), bell("09:00", START, 2),
                                          bell("09:45", END, 2), bell("10:00", EXTRA)};
    const struct {
        const char* what;
        std::vector<PlayLogEntry> log;
        const char* now;
        Rows rows;
    } cases[] = {
        {"nothing logged",
         {},
         "09:00",
         {"08:00:00 missed", "08:45:00 missed", "09:00:00 coming", "09:45:00 coming", "10:00:00 coming"}},
        {"every outcome of the log",
         {entry("08:00:00", START, 1, PlayOutcome::PLAYED), entry("08:45:00", END, 1, PlayOutcome::STOPPED),
          entry("09:00:00", START, 2, PlayOutcome::FAILED, "no file"),
          entry("09:45:00", END, 2, PlayOutcome::SKIPPED, "quiet period")},
         "09:50",
         {"08:00:00 played []", "08:45:00 stopped []", "09:00:00 failed [no file]", "09:45:00 skipped [quiet period]",
          "10:00:00 coming"}},
        {"the latest entry of a bell is its word, an earlier one a row of its own",
         {entry("08:00:00", START, 1, PlayOutcome::FAILED, "first"),
          entry("08:00:00", START, 1, PlayOutcome::PLAYED, "second")},
         "08:30",
         {"08:00:00 played [second]", "08:00:00 failed [first] (log only)", "08:45:00 coming", "09:00:00 coming",
          "09:45:00 coming", "10:00:00 coming"}},
        {"an entry of another source or lesson in the bell's second is not the bell's",
         {entry("08:45:00", START, 2, PlayOutcome::PLAYED, "other lesson"),
          entry("09:00:00", END, 2, PlayOutcome::PLAYED, "other source")},
         "09:30",
         {"08:00:00 missed", "08:45:00 missed", "08:45:00 played [other lesson] (log only)", "09:00:00 missed",
          "09:00:00 played [other source] (log only)", "09:45:00 coming", "10:00:00 coming"}},
        {"programmes, plays by hand and the alarm are not bells",
         {entry("08:00:00", PlaySource::PROGRAMME, std::nullopt, PlayOutcome::PLAYED),
          entry("08:00:00", PlaySource::MANUAL, std::nullopt, PlayOutcome::PLAYED),
          entry("08:30:00", PlaySource::ALARM, std::nullopt, PlayOutcome::PLAYED),
          entry("08:30:00", PlaySource::ANNOUNCEMENT, std::nullopt, PlayOutcome::PLAYED)},
         "08:00:01",
         {"08:00:00 missed", "08:45:00 coming", "09:00:00 coming", "09:45:00 coming", "10:00:00 coming"}},
        {"a bell is coming through its own second",
         {},
         "10:00",
         {"08:00:00 missed", "08:45:00 missed", "09:00:00 missed", "09:45:00 missed", "10:00:00 coming"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowsOf(markTodaysBells(bells, c.log, QuietDay{}, TimeOfDay::decode(c.now))), c.rows) << c.what;
}

TEST(BellMarks, OnlyBellsStillToComeAreMarkedQuiet) {
    QuietDay quiet{"2024-09-02", {QuietPeriod{TimeOfDay(7, 0), TimeOfDay(9, 30)}}, {TimeOfDay(10, 0)}};
    const std::vector<NamedBell> bells = {bell("08:00", START, 1), bell("09:00", START, 2), bell("09:30", END, 2),
                                          bell("10:00", EXTRA)};
    EXPECT_EQ(rowsOf(markTodaysBells(bells, {}, quiet, TimeOfDay(8, 30))),
              (Rows{"08:00:00 missed", "09:00:00 quiet", "09:30:00 coming", "10:00:00 quiet"}))
        << "a period ends before its last minute; a skipped bell is quiet";
}

} // namespace
