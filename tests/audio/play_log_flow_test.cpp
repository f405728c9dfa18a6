// The play log as the running system fills it: the scheduler, the alarm and plays on request go
// through the real player (with recording file players) and the fake clock, and every play is
// read back from the log with its outcome.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "audio/player_sounds.h"
#include "scheduling/alarm.h"
#include "scheduling/play_resolution.h"
#include "scheduling/scheduler.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace tollwick {
namespace {

using namespace std::chrono_literals;

// "<due time> <source>[ <lesson>] <outcome>[: <detail>]" of each entry of the day.
std::vector<std::string> summary(const std::vector<PlayLogEntry>& entries) {
    std::vector<std::string> out;
    for (const PlayLogEntry& e : entries) {
        std::string line = e.due.substr(11) + " " + std::string(enumText(e.source));
        if (e.lesson)
            line += " " + std::to_string(*e.lesson);
        line += " " + std::string(enumText(e.outcome));
        if (!e.detail.empty())
            line += ": " + e.detail;
        out.push_back(line);
    }
    return out;
}

struct PlayLogFlowTest : ::testing::Test {
    test::LogCapture log;
    test::TempDir dir;
    test::ScopedEnv dataDir{"TOLLWICK_DATA_DIR", dir.path().string()};
    test::FakeTime time{2024, 9, 2, 7, 0, 0}; // a Monday
    Clock clock{time.source()};
    Documents docs;
    PlayLog playLog;
    QuietPeriods quiet;
    std::shared_ptr<test::PlayRecorder> recorder = test::PlayRecorder::create();
    Player player{clock, recorder->factory()};
    PlayerSounds sounds{player, playLog, clock};
    Paths paths = Paths::resolve();
    Scheduler scheduler{docs, clock, sounds, quiet, {}, paths};
    Alarm alarm{sounds};

    void toggleAlarm() {
        alarm.toggle([this] {
            std::scoped_lock lock(docs.mutex);
            return resolveAlarm(*docs.db, paths);
        });
    }
    // What `resolve` answers from the database, resolved under the document mutex.
    template <class Resolve>
    PlayRequest resolved(Resolve&& resolve) {
        std::scoped_lock lock(docs.mutex);
        return resolve(static_cast<const DB&>(*docs.db));
    }

    PlayLogFlowTest() {
        playLog.open(dir.path() / "playlog");
        quiet.load(dir.path() / "quiet.json");
        DB& db = docs.db.edit();
        db.loadFactoryDefault();
        db.settings.announcementSignalId = NULL_ID;
        db.settings.alarmSignalId = "siren";
        db.settings.alarmDelaySec = 0;
        for (const char* name : {"bell", "siren", "broken", "gone", "chime"}) {
            db.songs.add(AudioAsset{name, "", std::string(name) + ".wav"}, name);
            if (std::string(name) != "gone")
                std::ofstream(dir.path() / (std::string(name) + ".wav")) << "sound";
        }
        recorder->setPlayTime(path("siren"), 10s);
        recorder->fail(test::PlayRecorder::Operation::START, path("broken"), "no such device");
        TimeTable& tt = db.timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {Lesson::decode("08:00 - 08:45")};
        for (PlayDesc* desc : {&tt.chA.startOfClass, &tt.chA.endOfClass, &tt.chA.preStart, &tt.chA.preEnd})
            desc->id = "bell";
        tt.customPlays = {UserPlay{PlayDesc{"bell"}, {TimeOfDay(9, 30), TimeOfDay(11, 10)}},
                          UserPlay{PlayDesc{"broken"}, {TimeOfDay(10, 0)}},
                          UserPlay{PlayDesc{"gone"}, {TimeOfDay(10, 5)}}};
        db.programmes.add(Programme{"bell", Date(2024, 9, 2), TimeOfDay(9, 0), false}, "p");
    }
    ~PlayLogFlowTest() override {
        player.stopAll();
        EXPECT_TRUE(player.waitUntilAllEnded(10s));
    }

    std::string path(const std::string& name) const { return (dir.path() / (name + ".wav")).string(); }

    // The bells of h:m:s, then waits until their plays are over, so that the fake time a playing
    // thread reads is still that second.
    void passAt(int h, int m, int s = 0) {
        time.set(2024, 9, 2, h, m, s);
        scheduler.triggerScheduledSounds(clock.updateClock());
        ASSERT_TRUE(player.waitUntilAllEnded(10s));
    }
};

TEST_F(PlayLogFlowTest, EveryPlayOfEverySourceIsLoggedWithItsOutcome) {
    for (const auto& [h, m] : std::vector<std::pair<int, int>>{{7, 55}, {8, 0}, {8, 40}, {8, 45}, {9, 0}, {9, 30}})
        passAt(h, m);
    passAt(10, 0);
    passAt(10, 5);
    time.set(2024, 9, 2, 11, 0, 0);
    quiet.mute(clock.updateClock(), TimeOfDay(11, 0), TimeOfDay(11, 30));
    passAt(11, 10);

    // Plays due in the same second are listed in the order their sound began: one after the other.
    time.set(2024, 9, 2, 12, 0, 0);
    toggleAlarm();
    // A generous limit: under a thread sanitizer on a busy machine a thread's start can lag.
    ASSERT_TRUE(recorder->waitForStarts(recorder->started().size() + 1, 30s));
    toggleAlarm();
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    sounds.play(resolved([&](const DB& db) { return *resolveSong(db, paths, "bell"); }),
                PlayOrigin{PlaySource::MANUAL});
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    std::ofstream(dir.path() / "spoken.mp3") << "words";
    sounds.play(resolved([&](const DB& db) {
                    return resolveAnnouncement(db, paths, (dir.path() / "spoken.mp3").string(), "fire-drill", true);
                }),
                PlayOrigin{PlaySource::ANNOUNCEMENT});
    ASSERT_TRUE(player.waitUntilAllEnded(10s));

    EXPECT_EQ(summary(playLog.read("2024-09-02")),
              (std::vector<std::string>{
                  "07:55:00 preStart 1 played",
                  "08:00:00 lessonStart 1 played",
                  "08:40:00 preEnd 1 played",
                  "08:45:00 lessonEnd 1 played",
                  "09:00:00 programme played",
                  "09:30:00 extraPlay played",
                  "10:00:00 extraPlay failed: Failed to play the file: " + path("broken") + " - no such device",
                  "10:05:00 extraPlay failed: File does not exist: " + path("gone"),
                  "11:10:00 extraPlay skipped: quiet period",
                  "12:00:00 alarm stopped",
                  "12:00:00 manual played",
                  "12:00:00 announcement played",
              }));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "spoken.mp3")) << "an announcement's file goes after its play";
}

TEST_F(PlayLogFlowTest, ABellStartedLateSaysByHowMuchAndOneThatFailsToStartHasNoStart) {
    time.set(2024, 9, 2, 7, 59, 59);
    scheduler.pass();
    time.advance(3); // the process stalled: 08:00:00 rings at 08:00:02
    scheduler.pass();
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    passAt(10, 0);
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    const std::vector<PlayLogEntry> entries = playLog.read("2024-09-02");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].due, "2024-09-02T08:00:00");
    EXPECT_EQ(entries[0].started, "2024-09-02T08:00:02.000");
    EXPECT_EQ(entries[0].lateMs, 2000);
    EXPECT_EQ(entries[0].songName, "bell");
    EXPECT_EQ(entries[1].started, std::nullopt);
    EXPECT_EQ(entries[1].lateMs, std::nullopt);
}

struct BoundedPlays : PlayLogFlowTest {
    BoundedPlays() {
        recorder->setStartsOnAnyThread(true); // a play's first file sounds before its request returns
        recorder->setPlayTime(60s);
        recorder->setPlayTime(path("siren"), 60s);
    }
    // Whether the play started; false when it was refused at the bound.
    bool play(PlaySource source) {
        try {
            return sounds.play(resolved([&](const DB& db) { return *resolveSong(db, paths, "chime"); }),
                               PlayOrigin{source}) != nullptr;
        } catch (const TooManyPlaysError&) {
            return false;
        }
    }
};

TEST_F(BoundedPlays, PlaysByHandStopAtTheBoundAndMakeWayForABellAndTheAlarm) {
    constexpr int MAX = static_cast<int>(MAX_PLAYS_IN_PROGRESS), FLOOD = 200;
    for (int i = 0; i < FLOOD; ++i) {
        EXPECT_EQ(play(PlaySource::MANUAL), i < MAX) << i;
        ASSERT_LE(recorder->sounding(), MAX_PLAYS_IN_PROGRESS) << i;
    }
    time.set(2024, 9, 2, 8, 0, 0);
    EXPECT_EQ(scheduler.triggerScheduledSounds(clock.updateClock()), 1);
    EXPECT_EQ(recorder->started().back(), path("bell")) << "started at once";
    toggleAlarm();
    EXPECT_EQ(recorder->started().back(), path("siren"));
    EXPECT_FALSE(play(PlaySource::MANUAL)) << "the bell and the alarm count too";
    ASSERT_TRUE(recorder->waitForCloses(2));
    for (const test::PlayEvent& close : recorder->events(test::PlayEvent::Kind::CLOSE))
        EXPECT_TRUE(close.wasAborted && close.player < 2) << "the two oldest make way, not player " << close.player;

    const std::string refused = std::string(" skipped: ") + TOO_MANY_PLAYS_REASON;
    const std::map<std::string, int> expected{
        {"07:00:00 manual played", MAX - 2},
        {"07:00:00 manual stopped", 2},
        {"07:00:00 manual" + refused, FLOOD - MAX},
        {"08:00:00 lessonStart 1 played", 1},
        {"08:00:00 alarm played", 1},
        {"08:00:00 manual" + refused, 1},
    };
    std::map<std::string, int> logged;
    EXPECT_TRUE(test::eventually([&] {
        logged.clear();
        for (const std::string& line : summary(playLog.read("2024-09-02")))
            ++logged[line];
        return logged == expected;
    })) << ::testing::PrintToString(logged);
}

// None of them can make way, so plays that are due start beyond the bound.
TEST_F(BoundedPlays, PlaysThatAreDueStartBeyondABoundTakenByOthersDue) {
    for (std::size_t i = 0; i <= MAX_PLAYS_IN_PROGRESS; ++i)
        ASSERT_TRUE(play(PlaySource::PROGRAMME)) << i;
    EXPECT_FALSE(play(PlaySource::MANUAL));
    EXPECT_EQ(recorder->sounding(), MAX_PLAYS_IN_PROGRESS + 1) << "none stopped";
}

} // namespace
} // namespace tollwick
