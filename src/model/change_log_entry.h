#pragma once
// One entry of the change log: a change somebody made through the interface, when, from where,
// and what it was. No entry ever holds a password, a cookie, a session id, a token or an alert
// address.
#include <optional>
#include <string>
#include <tuple>

#include "model/record.h"

namespace tollwick {

// What a change was, as its handler tells it; the change log adds who made it and when.
struct Change {
    std::string action;                // "settings.update", "timetable.delete", ...
    std::optional<std::string> target; // the id or name of what changed, when there is one
    std::string summary;               // a short text of what changed, in English
};

struct ChangeLogEntry {
    std::string time;                   // the second it was made, local: "2024-09-02T08:00:00"
    std::string client;                 // the address of the request's client
    std::optional<std::string> session; // a short id of the browser's session, not the session's id
    std::string action;
    std::optional<std::string> target;
    std::string summary;

    // The date part of `time`, which names the day's file.
    std::string date() const { return time.substr(0, 10); }
    // Whether it switched the bells off or on.
    bool switchesBells() const { return action == "bells.off" || action == "bells.on"; }

    static constexpr auto fields = std::tuple{
        field("time", &ChangeLogEntry::time),       field("client", &ChangeLogEntry::client),
        field("session", &ChangeLogEntry::session), field("action", &ChangeLogEntry::action),
        field("target", &ChangeLogEntry::target),   field("summary", &ChangeLogEntry::summary),
    };
};

} // namespace tollwick
