#include "service/alert_texts.h"

#include <array>

namespace tollwick {

namespace {

struct Text {
    std::string_view key;
    std::string_view en;
    std::string_view hu;
    std::string_view de;
};

// Every text an alert is made of. {0}, {1}, ... are the alert's values in order.
constexpr std::array TEXTS{
    Text{"title.bellFailed", "A bell did not ring", "Elmaradt egy csengetés", "Ein Klingelzeichen ist ausgefallen"},
    Text{"title.alarm", "Alarm", "Riasztás", "Alarm"},
    Text{"title.bells", "Bells switched", "Csengetés be- vagy kikapcsolva", "Klingelzeichen umgeschaltet"},
    Text{"title.clock", "Clock", "A gép órája", "Uhrzeit des Computers"},
    Text{"title.saveFailed", "Saving failed", "Sikertelen mentés", "Speichern fehlgeschlagen"},
    Text{"title.diskLow", "Disk nearly full", "Fogy a szabad hely", "Speicherplatz wird knapp"},
    Text{"title.started", "Started", "Elindult", "Gestartet"},
    Text{"title.test", "Test alert", "Próbaüzenet", "Testnachricht"},

    Text{"bellFailed", "The {0} bell ({1}, '{2}') did not ring: {3}",
         "Elmaradt a {0}-kor esedékes csengetés ({1}, „{2}”): {3}",
         "Das Klingelzeichen um {0} Uhr ({1}, „{2}“) ist ausgefallen: {3}"},
    Text{"programmeFailed", "The {0} programme ('{1}') did not play: {2}",
         "Elmaradt a {0}-kor esedékes műsor („{1}”): {2}",
         "Die geplante Wiedergabe um {0} Uhr („{1}“) ist ausgefallen: {2}"},
    Text{"alarmFailed", "The alarm ('{0}') did not sound: {1}", "Nem szólalt meg a riasztás („{0}”): {1}",
         "Der Alarm („{0}“) ist nicht ertönt: {1}"},
    Text{"source.lessonStart", "start of lesson {0}", "{0}. óra kezdete", "Beginn der {0}. Stunde"},
    Text{"source.lessonEnd", "end of lesson {0}", "{0}. óra vége", "Ende der {0}. Stunde"},
    Text{"source.preStart", "early signal before lesson {0}", "{0}. óra előtti jelzőcsengetés",
         "Vorsignal vor der {0}. Stunde"},
    Text{"source.preEnd", "early signal before the end of lesson {0}", "{0}. óra vége előtti jelzőcsengetés",
         "Vorsignal vor dem Ende der {0}. Stunde"},
    Text{"source.extraPlay", "extra signal", "külön csengetés", "zusätzliches Signal"},
    Text{"reason.bells off", "the bells are switched off", "a csengetés ki van kapcsolva",
         "die Klingelzeichen sind ausgeschaltet"},

    Text{"alarmOn", "The alarm was switched on.", "Bekapcsolták a riasztást.", "Der Alarm wurde eingeschaltet."},
    Text{"alarmOff", "The alarm was switched off.", "Kikapcsolták a riasztást.", "Der Alarm wurde ausgeschaltet."},
    Text{"bellsOff", "The bells were switched off: no bell rings until they are switched on again.",
         "Kikapcsolták a csengetést: amíg vissza nem kapcsolják, egy csengetés sem szól.",
         "Die Klingelzeichen wurden ausgeschaltet: Bis sie wieder eingeschaltet werden, ertönt keines."},
    Text{"bellsOn", "The bells were switched on again.", "Visszakapcsolták a csengetést.",
         "Die Klingelzeichen wurden wieder eingeschaltet."},
    Text{"clockUnsynchronised",
         "The computer's clock has not been synchronised for over {0} minutes: the bells may ring at the wrong time.",
         "A gép órája több mint {0} perce nincs szinkronizálva: a csengetések pontatlanok lehetnek.",
         "Die Uhr des Computers ist seit über {0} Minuten nicht synchronisiert: Die Klingelzeichen können zur "
         "falschen Zeit ertönen."},
    Text{"clockFarOff", "The computer's clock may be off by up to {0} s: the bells may ring at the wrong time.",
         "A gép órája akár {0} másodpercet is tévedhet: a csengetések pontatlanok lehetnek.",
         "Die Uhr des Computers kann bis zu {0} Sekunden falsch gehen: Die Klingelzeichen können zur falschen Zeit "
         "ertönen."},
    Text{"clockWell", "The computer's clock is synchronised and accurate again.",
         "A gép órája ismét szinkronizálva van, és pontos.",
         "Die Uhr des Computers ist wieder synchronisiert und genau."},
    Text{"saveFailed",
         "The data could not be saved to disk ({0}): changes since then may be lost when the player "
         "restarts.",
         "Nem sikerült lemezre menteni az adatokat ({0}): a lejátszó újraindításakor elveszhetnek az azóta tett "
         "módosítások.",
         "Die Daten konnten nicht gespeichert werden ({0}): Änderungen seitdem können bei einem Neustart des Programms "
         "verloren gehen."},
    Text{"diskLow", "Only {0} MiB are left free on the disk of the data directory {1}.",
         "Már csak {0} MiB szabad hely maradt az adatkönyvtár ({1}) lemezén.",
         "Auf dem Datenträger des Datenverzeichnisses {1} sind nur noch {0} MiB frei."},
    Text{"startedInOrder", "Tollwick Player started; its previous run was stopped in order.",
         "Elindult a Tollwick Player; az előző futása rendben leállt.",
         "Tollwick Player wurde gestartet; der vorige Lauf wurde ordnungsgemäß beendet."},
    Text{"startedAfterCrash",
         "Tollwick Player started again after its previous run ended without stopping in order (a crash, a power "
         "cut or a killed process).",
         "Újraindult a Tollwick Player, miután az előző futása nem rendben állt le (összeomlás, áramszünet vagy "
         "leállított folyamat).",
         "Tollwick Player wurde neu gestartet, nachdem der vorige Lauf nicht ordnungsgemäß beendet wurde (Absturz, "
         "Stromausfall oder abgebrochener Prozess)."},
    Text{"test", "This is a test alert. If you can read it, alerts reach you here.",
         "Ez egy próbaüzenet. Ha olvassa, az értesítések ide is megérkeznek.",
         "Dies ist eine Testnachricht. Wenn Sie sie lesen, kommen die Warnmeldungen hier an."},
    Text{"repeats", "{1} (This happened {0} more times within the minute.)",
         "{1} (Egy percen belül még {0} alkalommal történt meg.)",
         "{1} (Innerhalb einer Minute noch {0}-mal aufgetreten.)"},
};

std::string_view lookUp(std::string_view key, std::string_view language) {
    for (const Text& t : TEXTS)
        if (t.key == key)
            return language == "hu" ? t.hu : language == "de" ? t.de : t.en;
    return {};
}

std::string fillIn(std::string_view text, const std::vector<std::string>& values) {
    std::string out(text);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string mark = "{" + std::to_string(i) + "}";
        for (std::size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at + values[i].size()))
            out.replace(at, mark.size(), values[i]);
    }
    return out;
}

// A text from the table when `value` names one under `prefix`, the value itself otherwise.
std::string translated(std::string_view prefix, const std::string& value, std::string_view language) {
    const std::string_view text = lookUp(std::string(prefix) + value, language);
    return text.empty() ? value : std::string(text);
}

} // namespace

AlertWords alertWords(const Alert& alert, std::string_view language, const std::string& school, int repeats) {
    std::vector<std::string> values = alert.values;
    // A bell's values: its time, its source, its lesson, its song and the reason.
    if (alert.message == "bellFailed" && values.size() == 5) {
        values[1] = fillIn(translated("source.", values[1], language), {values[2]});
        values.erase(values.begin() + 2);
    }
    if (!values.empty())
        values.back() = translated("reason.", values.back(), language);
    std::string text = fillIn(lookUp(alert.message, language), values);
    if (repeats > 0)
        text = fillIn(lookUp("repeats", language), {std::to_string(repeats), text});
    if (!school.empty())
        text = school + ": " + text;
    return AlertWords{std::string(lookUp("title." + alert.event, language)), std::move(text)};
}

} // namespace tollwick
