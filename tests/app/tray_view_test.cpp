// The tray launcher's tooltip and menu in each state of the system, from its own answers.
#include <gtest/gtest.h>

#include "app/tray_view.h"

using namespace tollwick;

namespace {

using Strings = std::vector<std::string>;

Strings labels(const TrayView& view) {
    Strings out;
    for (const TrayItem& item : view.items)
        out.push_back(item.label);
    return out;
}

TrayFacts running(std::optional<std::string> nextAt, long long inSec, std::string language = "en") {
    TrayFacts facts;
    facts.known = true;
    facts.nextBellAt = std::move(nextAt);
    facts.nextBellInSec = inSec;
    facts.language = std::move(language);
    return facts;
}

} // namespace

TEST(TrayView, TheTooltipSaysWhatRingsNextOrWhyNothingDoes) {
    TrayFacts off = running("10:45:00", 720);
    off.bellsOn = false;
    TrayFacts silent = running("10:45:00", 720);
    silent.silentToday = 2;
    TrayFacts offDe = off;
    offDe.language = "de";
    const struct {
        TrayFacts facts;
        const char* tooltip;
        bool attention;
    } cases[] = {
        {TrayFacts{}, "Tollwick Player is starting…", false},
        {running("10:45:00", 720), "Tollwick Player\nNext bell 10:45 (in 12 min)", false},
        {running("10:45:00", 661), "Tollwick Player\nNext bell 10:45 (in 12 min)", false},
        {running("10:45:30", 45), "Tollwick Player\nNext bell 10:45:30 (in 45 s)", false},
        {running("13:00:00", 7500), "Tollwick Player\nNext bell 13:00 (in 2 h 5 min)", false},
        {running(std::nullopt, 0), "Tollwick Player\nNo more bells today", false},
        {off, "Tollwick Player\nBells are switched off", true},
        {silent, "Tollwick Player\nNext bell 10:45 (in 12 min)\n2 bells did not ring today", true},
        {running("10:45:00", 720, "hu"), "Tollwick Player\nKövetkező csengetés: 10:45 (12 perc múlva)", false},
        {offDe, "Tollwick Player\nDas Klingeln ist ausgeschaltet", true},
        {running("10:45:00", 720, "xx"), "Tollwick Player\nNext bell 10:45 (in 12 min)", false},
    };
    for (const auto& c : cases) {
        const TrayView view = trayView(c.facts);
        EXPECT_EQ(view.tooltip, c.tooltip);
        EXPECT_EQ(view.attention, c.attention) << c.tooltip;
        EXPECT_LE(view.tooltip.size(), TRAY_TOOLTIP_BYTES) << c.tooltip;
    }
}

TEST(TrayView, SetUpIsOfferedOnlyWhileNoPasswordIsSet) {
    TrayFacts fresh = running("10:45:00", 60, "de");
    fresh.passwordSet = false;
    EXPECT_EQ(labels(trayView(fresh)), (Strings{"Übersicht öffnen", "Einrichten", "Klingeln beenden und schließen"}));
    EXPECT_EQ(trayView(fresh).items.at(1).command, TrayCommand::SET_UP);
    EXPECT_EQ(labels(trayView(running("10:45:00", 60))), (Strings{"Open the dashboard", "Stop the bells and quit"}));
    EXPECT_EQ(labels(trayView(TrayFacts{})), (Strings{"Open the dashboard", "Stop the bells and quit"}))
        << "before the system answers, nothing is known of its password";
    EXPECT_NE(stopQuestion("hu").text.find("egyetlen csengetés sem szól"), std::string::npos);
}

TEST(TrayView, TheFactsComeFromTheSystemsAnswers) {
    const Json overview = Json::parse(R"({"activeTimetableInfo": {"source": "DISABLED"}, "passwordMissing": true})");
    const Json next = Json::parse(R"({"at": "10:45:00", "inSec": 90})");
    const Json bells = Json::parse(R"([{"mark": "played"}, {"mark": "missed"}, {"mark": "failed"},
        {"mark": "skipped", "detail": "bells off"}, {"mark": "skipped", "detail": "quiet period"}, {"mark": "coming"}])");
    const TrayFacts facts = trayFactsFrom(overview, next, bells, Json::parse(R"({"language": "hu"})"));
    EXPECT_TRUE(facts.known);
    EXPECT_FALSE(facts.bellsOn);
    EXPECT_FALSE(facts.passwordSet);
    EXPECT_EQ(facts.nextBellAt, "10:45:00");
    EXPECT_EQ(facts.nextBellInSec, 90);
    EXPECT_EQ(facts.silentToday, 3);
    EXPECT_EQ(facts.language, "hu");

    const TrayFacts odd = trayFactsFrom(Json::object(), nullptr, Json::parse(R"({"mark": 1})"), Json(3));
    EXPECT_TRUE(odd.known);
    EXPECT_TRUE(odd.bellsOn);
    EXPECT_FALSE(odd.nextBellAt);
    EXPECT_EQ(odd.language, "en");
    EXPECT_FALSE(trayFactsFrom(nullptr, next, bells, nullptr).known);
}
