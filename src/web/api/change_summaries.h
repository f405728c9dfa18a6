#pragma once
// The short English texts the change log keeps of what a change did, for the school's IT.
#include <cstddef>
#include <string>
#include <vector>

#include "model/change_log_entry.h"
#include "model/model.h"
#include "storage/documents.h"

namespace tollwick::web {

// The most pieces a summary lists; the rest are counted as "and N more changes".
inline constexpr std::size_t MAX_SUMMARY_PIECES = 4;
// The most characters of a value a piece shows; longer ones are cut and end in "…".
inline constexpr std::size_t MAX_VALUE_CHARS = 40;

// What a settings update changed: "bells.off" or "bells.on" when schedulerEnable changed, and
// "settings.update" with one piece per other changed member ("language: en → de", by its dotted
// path). The alert targets are counted, never shown: their addresses carry secrets. Nothing when
// nothing changed.
std::vector<Change> settingsChanges(const Settings& before, const Settings& after);

// What a timetable update changed, "Timetable 'Normal': lesson 3 start 09:50 → 09:55"; empty
// when nothing did.
std::string timetableSummary(const TimeTable& before, const TimeTable& after);

// "Event 'Winter break' 2024-12-23 to 2025-01-03: timetable 'Holiday'". Expects the document
// mutex held, for the timetable's name.
std::string eventSummary(const DB& db, const SingleCalendarEvent& event);
// "Weekly event on Mon, Wed (even weeks): timetable 'Short'". Likewise.
std::string eventSummary(const DB& db, const ReoccurringCalendarEvent& event);

// "Programme 'Assembly' on 2024-09-02 at 10:00".
std::string programmeSummary(const std::string& name, const Programme& programme);

// `text` in quotes, cut to MAX_VALUE_CHARS at a character's boundary.
std::string quotedName(const std::string& text);

} // namespace tollwick::web
