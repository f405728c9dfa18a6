// The alert sender against servers of the test's own: the words and form each kind of target
// gets, retries that give up on one target without holding up the others, repeats gathered into
// one message, and the checks of the clock, the saves and the disk.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>

#include "audio/logged_play.h"
#include "service/alerts.h"
#include "silent_peers.h"
#include "support/alert_inbox.h"
#include "support/log_capture.h"

namespace tollwick::test {
namespace {

using namespace std::chrono_literals;

// A bell's entry in the play log as the scheduler leaves it when its file is gone.
PlayLogEntry failedBell(const std::string& detail = "File does not exist: bell.wav") {
    PlayLogEntry entry;
    entry.due = "2024-09-02T08:00:00";
    entry.source = PlaySource::LESSON_START;
    entry.lesson = 1;
    entry.songName = "Csengő";
    entry.outcome = PlayOutcome::FAILED;
    entry.detail = detail;
    return entry;
}

struct AlertsTest : ::testing::Test {
    LogCapture log; // first: it outlives the sender's threads
    Documents docs;
    AlertInbox inbox;

    void settings(const std::string& school, const std::string& language, std::vector<AlertTarget> targets) {
        std::scoped_lock lock(docs.mutex);
        Settings& s = docs.db.edit().settings;
        s.schoolName = school;
        s.language = language;
        s.alertTargets = std::move(targets);
    }
};

TEST_F(AlertsTest, EachKindOfTargetGetsTheTextInTheInstallationsLanguageWithTheSchoolsName) {
    const struct {
        AlertKind kind;
        std::string school;
        std::string language;
        std::string text;
        std::string title; // decoded; a title of plain ASCII goes as it is
    } cases[] = {
        {AlertKind::WEBHOOK, "Szent István Gimnázium", "hu",
         "Szent István Gimnázium: Elmaradt a 08:00-kor esedékes csengetés (1. óra kezdete, „Csengő”): File does not "
         "exist: bell.wav",
         ""},
        {AlertKind::NTFY, "Grundschule Süd", "de",
         "Grundschule Süd: Das Klingelzeichen um 08:00 Uhr (Beginn der 1. Stunde, „Csengő“) ist ausgefallen: File "
         "does not exist: bell.wav",
         "Grundschule Süd: Ein Klingelzeichen ist ausgefallen"},
        {AlertKind::NTFY, "Hill School", "en",
         "Hill School: The 08:00 bell (start of lesson 1, 'Csengő') did not ring: File does not exist: bell.wav",
         "Hill School: A bell did not ring"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        AlertInbox to;
        settings(c.school, c.language, {AlertTarget{c.kind, to.url(), {"bellFailed"}}});
        Alerts alerts(docs, {});
        alerts.start();
        alertIfBellFailed(&alerts, failedBell());
        ASSERT_TRUE(to.waitFor(1));
        const ReceivedAlert got = to.received().front();
        EXPECT_EQ(got.path, "/hooks/s3cret?token=abc");
        if (c.kind == AlertKind::WEBHOOK) {
            EXPECT_EQ(got.contentType, "application/json");
            const auto body = nlohmann::ordered_json::parse(got.body);
            std::vector<std::string> keys;
            for (const auto& [key, value] : body.items())
                keys.push_back(key);
            EXPECT_EQ(keys, (std::vector<std::string>{"text", "event", "school", "time"}));
            EXPECT_EQ(body["text"], c.text);
            EXPECT_EQ(body["event"], "bellFailed");
            EXPECT_EQ(body["school"], c.school);
            EXPECT_TRUE(std::regex_match(body["time"].get<std::string>(),
                                         std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
                << body["time"];
        } else {
            EXPECT_EQ(got.contentType, "text/plain; charset=utf-8");
            EXPECT_EQ(got.body, c.text);
            EXPECT_EQ(decodedHeader(got.title), c.title);
            // char is unsigned on arm64: bytes are compared as unsigned everywhere.
            const bool ascii = std::all_of(c.title.begin(), c.title.end(),
                                           [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
            EXPECT_EQ(got.title.starts_with("=?UTF-8?B?"), !ascii) << got.title;
        }
    }
}

// Which entries of the play log are a bell that did not ring: a quiet period's skips are not.
TEST_F(AlertsTest, AFailedOrSkippedBellIsAlertedUnlessAQuietPeriodHeldIt) {
    struct Sink : AlertSink {
        void raise(Alert alert) noexcept override { raised.push_back(std::move(alert)); }
        std::vector<Alert> raised;
    };
    const struct {
        PlaySource source;
        PlayOutcome outcome;
        std::string detail;
        std::string message; // "" for none
    } cases[] = {
        {PlaySource::LESSON_START, PlayOutcome::FAILED, "no device", "bellFailed"},
        {PlaySource::EXTRA_PLAY, PlayOutcome::SKIPPED, std::string(BELLS_OFF_REASON), "bellFailed"},
        {PlaySource::PRE_END, PlayOutcome::SKIPPED, std::string(QUIET_REASON), ""},
        {PlaySource::PROGRAMME, PlayOutcome::FAILED, "no device", "programmeFailed"},
        {PlaySource::PROGRAMME, PlayOutcome::SKIPPED, std::string(QUIET_REASON), ""},
        {PlaySource::ALARM, PlayOutcome::FAILED, "no device", "alarmFailed"},
        {PlaySource::LESSON_END, PlayOutcome::PLAYED, "", ""},
        {PlaySource::LESSON_END, PlayOutcome::STOPPED, "", ""},
        {PlaySource::MANUAL, PlayOutcome::FAILED, "no device", ""},
        {PlaySource::ANNOUNCEMENT, PlayOutcome::SKIPPED, "too many plays", ""},
    };
    for (const auto& c : cases) {
        Sink sink;
        PlayLogEntry entry = failedBell(c.detail);
        entry.source = c.source;
        entry.outcome = c.outcome;
        alertIfBellFailed(&sink, entry);
        SCOPED_TRACE(std::string(enumText(c.source)) + " " + std::string(enumText(c.outcome)));
        ASSERT_EQ(sink.raised.size(), c.message.empty() ? 0u : 1u);
        if (!c.message.empty()) {
            EXPECT_EQ(sink.raised[0].message, c.message);
        }
    }
}

TEST_F(AlertsTest, ATargetThatHangsOrFailsIsTriedFourTimesAndLoggedByItsOriginWhileTheOthersAreServed) {
    SilentListener silent;
    AlertInbox failing(500);
    const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent.port()) + "/topic-s3cret";
    settings("", "en",
             {AlertTarget{AlertKind::NTFY, silentUrl, {"alarm"}},
              AlertTarget{AlertKind::WEBHOOK, failing.url(), {"alarm"}},
              AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"alarm"}}});
    Alerts alerts(docs, {}, AlertTimings{.attempt = 300ms, .retryPauses = {20ms, 40ms, 60ms}});
    alerts.start();
    alerts.raise(Alert{"alarm", "alarmOn", {}, "on"});

    ASSERT_TRUE(inbox.waitFor(1, 2s)) << "not held up by the target that hangs";
    EXPECT_EQ(Json::parse(inbox.received()[0].body)["text"], "The alarm was switched on.");
    const std::string origin = "http://127.0.0.1:";
    EXPECT_TRUE(log.waitFor(spdlog::level::warn,
                            "An alert could not be sent to " + failing.url("") + " after 4 attempts: it answered 500"));
    EXPECT_EQ(failing.received().size(), 4u);
    EXPECT_TRUE(log.waitFor(spdlog::level::warn, "An alert could not be sent to " + origin +
                                                     std::to_string(silent.port()) +
                                                     " after 4 attempts: no answer within the time limit"));
    for (const LogLine& line : log.lines())
        EXPECT_EQ(line.text.find("s3cret"), std::string::npos) << line.text;
}

TEST_F(AlertsTest, RepeatsWithinTheWindowAreSentOnceAfterTheFirstWithHowManyTimesTheyHappened) {
    settings("", "en", {AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"bellFailed"}}});
    Alerts alerts(docs, {}, AlertTimings{.groupWindow = 1500ms});
    alerts.start();
    for (int i = 0; i < 4; ++i)
        alertIfBellFailed(&alerts, failedBell("no device"));
    alertIfBellFailed(&alerts, failedBell("File does not exist: bell.wav"));

    ASSERT_TRUE(inbox.waitFor(3));
    std::vector<Json> bodies;
    for (const ReceivedAlert& got : inbox.received())
        bodies.push_back(Json::parse(got.body));
    EXPECT_FALSE(bodies[0].contains("count"));
    EXPECT_FALSE(bodies[1].contains("count"));
    EXPECT_EQ(bodies[2]["count"], 3);
    EXPECT_EQ(bodies[2]["text"], "The 08:00 bell (start of lesson 1, 'Csengő') did not ring: no device (This happened "
                                 "3 more times within the minute.)");
}

TEST_F(AlertsTest, TheClockTheSavesAndTheDiskAreAlertedOnceASpellAndTheClockWhenWellAgain) {
    std::atomic<bool> synchronised{true};
    std::atomic<long long> errorMs{4};
    std::atomic<std::uint64_t> freeMiB{100};
    Metrics metrics;
    settings("", "en", {AlertTarget{AlertKind::WEBHOOK, inbox.url(), {"clock", "saveFailed", "diskLow"}}});
    Alerts alerts(docs,
                  AlertChecks{[&] {
                                  return KernelClockState{synchronised.load(), errorMs.load()};
                              },
                              [&](const std::string&) { return std::optional<std::uint64_t>(freeMiB * 1024 * 1024); },
                              &metrics, "/data"},
                  AlertTimings{.groupWindow = 1ms, .checkPeriod = 10ms, .clockGrace = 100ms});
    metrics.documentSaveFailed(Metrics::Document::DB);
    alerts.start();

    std::vector<std::string> expected{"The data could not be saved to disk (/data/_db.json): changes since then may be "
                                      "lost when the player restarts.",
                                      "Only 100 MiB are left free on the disk of the data directory /data."};
    auto texts = [&] {
        std::vector<std::string> out;
        for (const ReceivedAlert& got : inbox.received())
            out.push_back(Json::parse(got.body)["text"]);
        return out;
    };
    // Each step ends with an alert that only a later check can send, so that any extra alert of
    // the checks before it would show.
    ASSERT_TRUE(inbox.waitFor(2));
    EXPECT_EQ(texts(), expected);

    synchronised = false; // after the grace
    expected.push_back("The computer's clock has not been synchronised for over 0 minutes: the bells may ring at the "
                       "wrong time.");
    ASSERT_TRUE(inbox.waitFor(3));
    EXPECT_EQ(texts(), expected);

    freeMiB = 220; // not yet well: still the same spell
    metrics.documentSaved(Metrics::Document::DB, 1);
    synchronised = true;
    expected.push_back("The computer's clock is synchronised and accurate again.");
    ASSERT_TRUE(inbox.waitFor(4));
    freeMiB = 100;
    errorMs = 2500;
    expected.push_back("The computer's clock may be off by up to 3 s: the bells may ring at the wrong time.");
    ASSERT_TRUE(inbox.waitFor(5));
    EXPECT_EQ(texts(), expected);

    // Set before what the check reads first, the clock, so that the same check sees them.
    freeMiB = 300; // well again
    errorMs = 4;
    expected.push_back("The computer's clock is synchronised and accurate again.");
    ASSERT_TRUE(inbox.waitFor(6));
    metrics.documentSaveFailed(Metrics::Document::DB);
    expected.push_back(expected[0]);
    ASSERT_TRUE(inbox.waitFor(7));
    freeMiB = 150;
    expected.push_back("Only 150 MiB are left free on the disk of the data directory /data.");
    ASSERT_TRUE(inbox.waitFor(8));
    EXPECT_EQ(texts(), expected);
}

} // namespace
} // namespace tollwick::test
