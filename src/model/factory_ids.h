#pragma once
// Fixed keys of the factory database and of the default settings. "NULL" is the id that refers to
// nothing, both for signals and for timetables.
namespace tollwick {

inline constexpr const char* NULL_ID = "NULL";
inline constexpr const char* FACTORY_DEFAULT_TIMETABLE_ID = "ID_factory_default_timetable";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_MELODY = "ID_melody";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_PING = "ID_ping";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_ALARM = "ID_alarm";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_INTERCOM = "ID_intercom";

} // namespace tollwick
