// Alerts raised by the running system: a bell that failed reaches its target while the next bell
// rings on its second, each target hears only of the events it chose, a start says whether the
// last run stopped in order, and the interface's test alert answers with what the target did.
#include "web_fixture.h"

#include <fstream>

#include "service/service_url.h"
#include "support/alert_inbox.h"

namespace tollwick::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct AlertEvents : WebTest {
    AlertInbox inbox;
    Browser b = browser();

    void targets(std::vector<AlertTarget> list) {
        std::scoped_lock lock(docs.mutex);
        db().settings.alertTargets = std::move(list);
    }
    std::vector<std::string> texts(const AlertInbox& from) {
        std::vector<std::string> out;
        for (const ReceivedAlert& got : from.received())
            out.push_back(Json::parse(got.body)["text"]);
        return out;
    }
};

TEST_F(AlertEvents, ABellThatFailedIsAlertedAtOnceAndTheNextBellStillRingsOnItsSecond) {
    {
        std::scoped_lock lock(docs.mutex);
        db().songs.add(AudioAsset{"Bell", "", "bell.wav"}, "bell");
        db().songs.add(AudioAsset{"Gone", "", "gone.wav"}, "gone"); // its file is missing
        std::ofstream(dataDir() / "bell.wav") << "sound";
        TimeTable& tt = db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {};
        tt.customPlays = {UserPlay{PlayDesc{"gone"}, {TimeOfDay(10, 30)}},
                          UserPlay{PlayDesc{"bell"}, {TimeOfDay(10, 31)}}};
        db().settings.schoolName = "Hill School";
    }
    targets({AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"bellFailed"}}});
    system.startAlerts();
    for (const int minute : {30, 31}) {
        time.set(2024, 9, 2, 10, minute, 0);
        system.scheduler().triggerScheduledSounds(clock.updateClock());
        if (minute == 30) {
            ASSERT_TRUE(inbox.waitFor(1, 2s));
        }
    }
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    EXPECT_EQ(texts(inbox),
              (std::vector<std::string>{"Hill School: The 10:30 bell (extra signal, 'Gone') did not ring: "
                                        "File does not exist: " +
                                        paths.userFile("gone.wav")}));
    const Metrics::Snapshot counted = system.metrics().snapshot();
    EXPECT_EQ(
        counted.plays[static_cast<std::size_t>(PlaySource::EXTRA_PLAY)][static_cast<std::size_t>(PlayOutcome::PLAYED)],
        1u);
    EXPECT_EQ(counted.latenessBuckets[0], 1u) << "the 10:31 bell began within a millisecond of its second";
}

TEST_F(AlertEvents, EachTargetHearsOnlyOfTheEventsItChose) {
    AlertInbox alarms;
    targets({AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"bells"}},
             AlertTarget{AlertKind::WEBHOOK, alarms.url(), {"alarm", "started"}}});
    system.startAlerts();
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": false})")), "200 true");
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"alarmDelaySec": 2})")), "200 true");
    EXPECT_EQ(outcome(b.get("/api/trigger/toggleAlarm/x")), "200 ok");
    EXPECT_EQ(outcome(b.get("/api/trigger/toggleAlarm/x")), "200 ok");
    ASSERT_TRUE(alarms.waitFor(2));
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": true})")), "200 true");
    ASSERT_TRUE(inbox.waitFor(2));
    EXPECT_EQ(texts(inbox), (std::vector<std::string>{"The bells were switched off: no bell rings until they are "
                                                      "switched on again.",
                                                      "The bells were switched on again."}));
    EXPECT_EQ(texts(alarms), (std::vector<std::string>{"The alarm was switched on.", "The alarm was switched off."}));
}

TEST_F(AlertEvents, AStartSaysWhetherTheLastRunLeftItsMarkerAndAnOrderlyStopRemovesIt) {
    const fs::path marker = dataDir() / "running";
    const struct {
        bool leftBehind;
        std::string text;
    } cases[] = {
        {false, "Tollwick Player started; its previous run was stopped in order."},
        {true, "Tollwick Player started again after its previous run ended without stopping in order (a crash, a "
               "power cut or a killed process)."},
    };
    EXPECT_FALSE(fs::exists(marker)) << "a system that is only built leaves no marker";
    targets({AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"started"}}});
    system.startAlerts();
    for (const auto& c : cases) {
        if (c.leftBehind)
            std::ofstream(marker) << "2024-09-02T09:00:00\n";
        system.markRunning();
        EXPECT_TRUE(fs::exists(marker));
        system.markStopped();
        EXPECT_FALSE(fs::exists(marker));
    }
    ASSERT_TRUE(inbox.waitFor(2));
    EXPECT_EQ(texts(inbox), (std::vector<std::string>{cases[0].text, cases[1].text}));
    system.markRunning();
    system.stop();
    EXPECT_FALSE(fs::exists(marker)) << "System::stop is an orderly end";
}

TEST_F(AlertEvents, TheTestAlertAnswersOkOnlyWhenTheTargetAnswered2xx) {
    AlertInbox failing(500);
    AlertInbox closed;
    closed.shutDown();
    {
        std::scoped_lock lock(docs.mutex);
        db().settings.language = "de";
    }
    const struct {
        std::string kind;
        std::string url;
        std::string answer;
    } cases[] = {
        {"ntfy", inbox.url(), "200 ok"},
        {"webhook", failing.url(), "400 The alert target answered 500"},
        {"webhook", closed.url(), "400 The alert target did not answer: no connection to the server"},
        {"email", inbox.url(), "400 Invalid value for \"kind\": \"email\" is not webhook or ntfy"},
        {"webhook", "ftp://example.org/x",
         "400 Invalid value for \"alertTargets.0.url\": not an http:// or https:// "
         "address"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome(b.get("/api/trigger/sendTestAlert/0?" + encodeQuery({{"kind", c.kind}, {"url", c.url}}))),
                  c.answer)
            << c.kind << " " << c.url;
    ASSERT_EQ(inbox.received().size(), 1u);
    EXPECT_EQ(inbox.received()[0].body, "Dies ist eine Testnachricht. Wenn Sie sie lesen, kommen die "
                                        "Warnmeldungen hier an.");
    EXPECT_EQ(decodedHeader(inbox.received()[0].title), "Testnachricht");
}

} // namespace
} // namespace tollwick::test
