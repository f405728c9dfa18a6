#pragma once
// The player's settings: the `settings` member of the database.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "model/calendar_records.h"
#include "model/factory_ids.h"
#include "model/record.h"

namespace tollwick {

struct CalendarSettings {
    WorkdayMode workdayMode = WorkdayMode::MON_TO_FRI;
    std::string syncRegionId = "hu";                         // a key of cache.calendarRegions
    bool syncSchoolHolidays = true;                          // whether the region's school breaks count
    std::vector<SingleCalendarEvent> singleEvents;           // in the order the user added them
    std::vector<ReoccurringCalendarEvent> reoccurringEvents; // likewise

    // Weekday numbers (0 = Monday) of the working week, in the order of the week's code;
    // an unknown code counts as every day.
    std::vector<int> getWorkdays() const;

    static constexpr auto fields = std::tuple{
        field("workdayMode", &CalendarSettings::workdayMode),
        field("syncRegionId", &CalendarSettings::syncRegionId),
        field("syncSchoolHolidays", &CalendarSettings::syncSchoolHolidays),
        field("singleEvents", &CalendarSettings::singleEvents),
        field("reoccurringEvents", &CalendarSettings::reoccurringEvents),
    };
};

// The timetable chosen for the current day only.
struct DailyPreferences {
    std::optional<std::string> selectedTimetableId;
    int _lastDay = -1; // day of the year (1 to 366) the choice belongs to; -1 = none yet

    // At a new day of the year the choice lapses.
    void resetOnNewDay(int day) noexcept;
    // Whether resetOnNewDay(day) would change anything.
    bool isNewDay(int day) const noexcept { return _lastDay != day; }

    static constexpr auto fields = std::tuple{
        field("selectedTimetableId", &DailyPreferences::selectedTimetableId),
        field("_lastDay", &DailyPreferences::_lastDay),
    };
};

// The languages of the browser interface, as the settings keep them; English first, the default.
inline constexpr std::array<std::string_view, 3> INTERFACE_LANGUAGES{"en", "hu", "de"};

// How an alert target wants its word: a JSON webhook, or a topic that takes the text as a plain
// body with a title header.
enum class AlertKind { WEBHOOK, NTFY };

template <>
struct EnumTexts<AlertKind> {
    static constexpr std::array texts{
        std::pair{AlertKind::WEBHOOK, std::string_view("webhook")},
        std::pair{AlertKind::NTFY, std::string_view("ntfy")},
    };
};

// The events an alert target can choose, by the names the settings keep them with.
inline constexpr std::array<std::string_view, 7> ALERT_EVENTS{
    "bellFailed", // a bell failed, or was skipped for a reason other than a quiet period
    "alarm",      // the alarm was switched on or off
    "bells",      // the bells were switched off or on
    "clock",      // the clock unsynchronised for long, or far off
    "saveFailed", // a document could not be saved
    "diskLow",    // little room left on the data directory's disk
    "started",    // the process started, saying whether the last run stopped in order
};

// Where the system sends word when something goes wrong, and which events it sends there.
struct AlertTarget {
    AlertKind kind = AlertKind::WEBHOOK;
    std::string url;                 // http:// or https://
    std::vector<std::string> events; // names of ALERT_EVENTS

    static constexpr auto fields = std::tuple{
        field("kind", &AlertTarget::kind),
        field("url", &AlertTarget::url),
        field("events", &AlertTarget::events),
    };
};

struct Settings {
    std::string defaultTimetableId = FACTORY_DEFAULT_TIMETABLE_ID; // timetable of ordinary workdays
    bool schedulerEnable = true;                                   // master switch of automatic ringing
    DailyPreferences dailyPreferences;
    std::string alarmSignalId = FACTORY_DEFAULT_SIGNAL_ID_ALARM;
    double alarmDelaySec = 0.0;                                            // between alarm repetitions
    std::string announcementSignalId = FACTORY_DEFAULT_SIGNAL_ID_INTERCOM; // played before every announcement
    CalendarSettings calendar;
    // The interface's language for the whole installation; files from before it lack the member.
    std::string language = std::string(INTERFACE_LANGUAGES.front());
    // The school's name, in every alert and in the monitoring answer; older files lack it.
    std::string schoolName;
    // Older files lack it: no alerts.
    std::vector<AlertTarget> alertTargets;

    static constexpr auto fields = std::tuple{
        field("defaultTimetableId", &Settings::defaultTimetableId),
        field("schedulerEnable", &Settings::schedulerEnable),
        field("dailyPreferences", &Settings::dailyPreferences),
        field("alarmSignalId", &Settings::alarmSignalId),
        field("alarmDelaySec", &Settings::alarmDelaySec),
        field("announcementSignalId", &Settings::announcementSignalId),
        field("calendar", &Settings::calendar),
        field("language", &Settings::language),
        laterField("schoolName", &Settings::schoolName),
        laterField("alertTargets", &Settings::alertTargets),
    };
};

} // namespace tollwick
