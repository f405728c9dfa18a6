#pragma once
// What the tray launcher shows: its tooltip, whether its icon asks for attention, and its menu,
// worked out from the running system's own answers. Nothing here touches the platform, so each
// state can be checked without a desktop.
#include <optional>
#include <string>
#include <vector>

#include "model/json.h"

namespace tollwick {

// What the tray learns of the running system.
struct TrayFacts {
    bool known = false; // false until the system answers
    bool bellsOn = true;
    bool passwordSet = true;
    std::optional<std::string> nextBellAt; // "HH:MM:SS" of the next bell still due today
    long long nextBellInSec = 0;
    int silentToday = 0;     // the bells of today that were due and did not ring
    std::string language = "en"; // the installation's language: "en", "hu" or "de"
};

// The facts from the answers of the targets "overview", "nextBell", "todayBells" and "settings";
// an answer that is missing or not of the expected shape leaves what it would have told unknown.
TrayFacts trayFactsFrom(const Json& overview, const Json& nextBell, const Json& todayBells, const Json& settings);

enum class TrayCommand { OPEN_DASHBOARD = 1, SET_UP, STOP };

struct TrayItem {
    TrayCommand command;
    std::string label;
};

struct TrayView {
    std::string tooltip;     // at most TRAY_TOOLTIP_BYTES bytes of UTF-8
    bool attention = false;  // the bells are switched off, or a bell did not ring today
    std::vector<TrayItem> items;
};

// The platform keeps at most 127 characters of a tooltip; the view's never need more.
inline constexpr std::size_t TRAY_TOOLTIP_BYTES = 127;

TrayView trayView(const TrayFacts& facts);

// The question asked before "Stop the bells and quit", in the installation's language.
struct TrayQuestion {
    std::string title;
    std::string text;
};
TrayQuestion stopQuestion(const std::string& language);

} // namespace tollwick
