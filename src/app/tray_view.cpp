#include "app/tray_view.h"

#include <array>
#include <string_view>

namespace tollwick {

namespace {

// The tray's words in one language. A "#" in a text stands for a number, "@" for a time of day.
struct Words {
    std::string_view language;
    std::string_view starting;
    std::string_view bellsOff;
    std::string_view nextBell;     // "@" the time, then the "in ..." part
    std::string_view inSeconds;    // "#" seconds
    std::string_view inMinutes;    // "#" minutes
    std::string_view inHours;      // "#" hours, "%" minutes
    std::string_view noMoreBells;
    std::string_view oneSilent;
    std::string_view manySilent;   // "#" bells
    std::string_view openDashboard;
    std::string_view setUp;
    std::string_view stop;
    std::string_view stopTitle;
    std::string_view stopText;
};

constexpr std::array WORDS{
    Words{"en", "Tollwick Player is starting…", "Bells are switched off", "Next bell @ (in $)", "# s", "# min",
          "# h % min", "No more bells today", "1 bell did not ring today", "# bells did not ring today",
          "Open the dashboard", "Set up", "Stop the bells and quit", "Stop the bells?",
          "No bell will ring until Tollwick Player is started again. Stop the bells and quit?"},
    Words{"hu", "Tollwick Player: indítás…", "A csengetés ki van kapcsolva", "Következő csengetés: @ ($ múlva)",
          "# mp", "# perc", "# óra % perc", "Ma már nincs több csengetés", "Ma 1 csengetés elmaradt",
          "Ma # csengetés elmaradt", "Áttekintés megnyitása", "Első beállítás", "Csengetés leállítása és kilépés",
          "Leállítja a csengetést?",
          "Amíg a Tollwick Player újra el nem indul, egyetlen csengetés sem szól. Leállítja a csengetést, és "
          "kilép?"},
    Words{"de", "Tollwick Player startet\u00a0…", "Das Klingeln ist ausgeschaltet", "Nächstes Klingeln @ (in $)",
          "# Sek.", "# Min.", "# Std. % Min.", "Heute klingelt es nicht mehr", "Heute ist 1 Klingeln ausgefallen",
          "Heute sind # Klingelzeichen ausgefallen", "Übersicht öffnen", "Einrichten", "Klingeln beenden und schließen",
          "Klingeln beenden?",
          "Bis Tollwick Player wieder gestartet wird, klingelt es nicht mehr. Möchten Sie das Klingeln beenden und "
          "das Programm schließen?"},
};

const Words& wordsOf(const std::string& language) {
    for (const Words& words : WORDS)
        if (words.language == language)
            return words;
    return WORDS[0];
}

// `text` with every `mark` replaced by `value`.
std::string filled(std::string_view text, char mark, const std::string& value) {
    std::string out;
    for (const char c : text)
        if (c == mark)
            out += value;
        else
            out += c;
    return out;
}

// "in 12 min", rounded up to the minute from a minute on, so that it never says less than is left.
std::string howSoon(const Words& words, long long seconds) {
    if (seconds < 60)
        return filled(words.inSeconds, '#', std::to_string(seconds < 0 ? 0 : seconds));
    const long long minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return filled(words.inMinutes, '#', std::to_string(minutes));
    return filled(filled(words.inHours, '#', std::to_string(minutes / 60)), '%', std::to_string(minutes % 60));
}

// "10:45" for "10:45:00", the whole text when the seconds count.
std::string shownTime(const std::string& at) {
    return at.size() == 8 && at.compare(5, 3, ":00") == 0 ? at.substr(0, 5) : at;
}

template <class T>
std::optional<T> member(const Json& object, const char* name) {
    if (!object.is_object() || !object.contains(name))
        return std::nullopt;
    try {
        return object.at(name).get<T>();
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

} // namespace

TrayFacts trayFactsFrom(const Json& overview, const Json& nextBell, const Json& todayBells, const Json& settings) {
    TrayFacts facts;
    if (!overview.is_object())
        return facts;
    facts.known = true;
    if (const auto info = member<Json>(overview, "activeTimetableInfo"))
        facts.bellsOn = member<std::string>(*info, "source") != "DISABLED";
    facts.passwordSet = !member<bool>(overview, "passwordMissing").value_or(false);
    facts.nextBellAt = member<std::string>(nextBell, "at");
    facts.nextBellInSec = member<long long>(nextBell, "inSec").value_or(0);
    if (todayBells.is_array())
        for (const Json& bell : todayBells) {
            const std::string mark = member<std::string>(bell, "mark").value_or("");
            if (mark == "missed" || mark == "failed" ||
                (mark == "skipped" && member<std::string>(bell, "detail") == "bells off"))
                ++facts.silentToday;
        }
    facts.language = member<std::string>(settings, "language").value_or("en");
    return facts;
}

TrayView trayView(const TrayFacts& facts) {
    const Words& words = wordsOf(facts.language);
    TrayView view;
    view.items.push_back({TrayCommand::OPEN_DASHBOARD, std::string(words.openDashboard)});
    if (facts.known && !facts.passwordSet)
        view.items.push_back({TrayCommand::SET_UP, std::string(words.setUp)});
    view.items.push_back({TrayCommand::STOP, std::string(words.stop)});
    if (!facts.known) {
        view.tooltip = words.starting;
        return view;
    }
    std::string state;
    if (!facts.bellsOn)
        state = words.bellsOff;
    else if (facts.nextBellAt)
        state = filled(filled(words.nextBell, '@', shownTime(*facts.nextBellAt)), '$',
                       howSoon(words, facts.nextBellInSec));
    else
        state = words.noMoreBells;
    view.tooltip = "Tollwick Player\n" + state;
    if (facts.silentToday > 0)
        view.tooltip += "\n" + (facts.silentToday == 1 ? std::string(words.oneSilent)
                                                      : filled(words.manySilent, '#', std::to_string(facts.silentToday)));
    view.attention = !facts.bellsOn || facts.silentToday > 0;
    return view;
}

TrayQuestion stopQuestion(const std::string& language) {
    const Words& words = wordsOf(language);
    return {std::string(words.stopTitle), std::string(words.stopText)};
}

} // namespace tollwick
