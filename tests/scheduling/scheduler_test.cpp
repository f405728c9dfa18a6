#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <set>
#include <thread>

#include "app/system.h"
#include "scheduling/alarm.h"
#include "scheduling/logged_seconds.h"
#include "scheduling/play_resolution.h"
#include "scheduling/scheduler.h"
#include "support/eventually.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

using namespace tollwick;
using tollwick::test::eventually;
using tollwick::test::FakeTime;
using tollwick::test::LogCapture;
using tollwick::test::ScopedEnv;
using tollwick::test::TempDir;

namespace {

// Records every play the scheduler starts; a song id that names no song fails as the real one does.
class RecordingSounds : public SoundStarter {
public:
    struct Handle : PlayHandle {
        bool aborted = false;
        bool ended = false;
        void abortPlay() override { aborted = true; }
        bool hasEnded() const override { return aborted || ended; }
    };

    // "<id>" or "<id> x<count> <delay>s" for repeated plays, "<id> then removed" for a play whose
    // file goes afterwards, "<id> skipped: <why>" for one not played
    std::vector<std::string> plays;

    std::shared_ptr<PlayHandle> play(PlayRequest request, const PlayOrigin&) override {
        const std::string& id = request.songId;
        if (missingFiles.contains(id)) {
            // The player finds the file missing and ends the play at once.
            auto failed = std::make_shared<Handle>();
            failed->ended = true;
            return failed;
        }
        const long long count = request.rounds == ENDLESS ? -1 : static_cast<long long>(request.rounds);
        plays.push_back(count == 1 ? id : id + " x" + std::to_string(count) + " " + std::to_string(request.delay) + "s");
        if (!request.removeWhenDone.empty())
            plays.back() += " then removed";
        last = std::make_shared<Handle>();
        return last;
    }
    void record(const std::string& id, const std::string&, const PlayOrigin&, PlayOutcome outcome,
                const std::string& detail) override {
        if (outcome == PlayOutcome::SKIPPED)
            plays.push_back(id + " skipped: " + detail);
    }

    std::set<std::string> missingFiles;
    std::shared_ptr<Handle> last;
};

struct SchedulerTest : ::testing::Test {
    LogCapture log;
    TempDir dir;
    ScopedEnv dataEnv{"TOLLWICK_DATA_DIR", dir.path().string()};
    FakeTime time{2026, 12, 8, 7, 0, 0}; // a Tuesday
    RecordingSounds sounds;
    std::atomic<int> phoneHomes{0}; // counted on the phone-home thread
    // The real system over `dir`, with the fake time, whose scheduler and alarm start their plays
    // on `sounds`; its threads are not started, the tests run the scheduler's passes themselves.
    System system{SystemSeams{.clock = time.source(), .sounds = &sounds, .phoneHome = [this] { ++phoneHomes; }}};
    Documents& docs = system.documents();
    Clock& clock = system.clock();
    QuietPeriods& quiet = system.quiet();
    const Paths& paths = system.paths();
    Scheduler& scheduler = system.scheduler();

    SchedulerTest() {
        system.loadDocuments(); // the factory configuration: the directory is empty
        for (const char* id : {"start", "end", "pre-start", "pre-end", "extra", "song-a", "song-b"})
            docs.db.edit().songs.add(AudioAsset{id, "", std::string(id) + ".mp3"}, id);
        TimeTable& tt = docs.db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        for (SignalTable* ch : {&tt.chA, &tt.chB}) {
            ch->lessons = {Lesson::decode("08:00 - 08:45"), Lesson::decode("08:45 - 09:30")};
            ch->startOfClass.id = "start";
            ch->endOfClass.id = "end";
            ch->preStart.id = "pre-start";
            ch->preEnd.id = "pre-end";
        }
        tt.chB.lessons = {Lesson::decode("07:30 - 07:31")};
    }

    TimeTable& timetable() { return docs.db.edit().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID); }

    // What rang in the second h:m:s of the fake day.
    std::vector<std::string> at(int h, int m, int s = 0) {
        time.set(time.reading().year, time.reading().month, time.reading().day, h, m, s);
        sounds.plays.clear();
        scheduler.pass();
        return sounds.plays;
    }
    using Plays = std::vector<std::string>;
};

TEST_F(SchedulerTest, LessonBellsAndWarningsRingInTheirSeconds) {
    EXPECT_EQ(at(7, 55), Plays{"pre-start"});
    EXPECT_EQ(at(7, 59, 59), Plays{});
    EXPECT_EQ(at(8, 0), Plays{"start"});
    EXPECT_EQ(at(8, 0, 1), Plays{});
    EXPECT_EQ(at(8, 40), Plays({"pre-end", "pre-start"})) << "the first end's warning and the second start's";
    EXPECT_EQ(at(8, 45), Plays({"end", "start"})) << "an end equal to the next start rings both";
    EXPECT_EQ(at(9, 30), Plays{"end"});
}

TEST_F(SchedulerTest, RepeatedDescriptorsCarryTheirCountAndDelay) {
    timetable().chA.startOfClass = PlayDesc{"start", true, 3, 2.5};
    EXPECT_EQ(at(8, 0), Plays{"start x3 2.500000s"});
    timetable().chA.startOfClass = PlayDesc{"start", false, 5, 2.5};
    EXPECT_EQ(at(8, 45), Plays({"end", "start"})) << "iterations count only with doRepeat";
}

TEST_F(SchedulerTest, ZeroWarningMinutesRingWithTheBell) {
    timetable().chA.preStartWaitMin = 0;
    EXPECT_EQ(at(8, 0), Plays({"start", "pre-start"}));
}

TEST_F(SchedulerTest, WarningBeforeMidnightForALessonJustAfterIt) {
    timetable().chA.lessons = {Lesson::decode("00:03 - 00:40")};
    EXPECT_EQ(at(23, 58), Plays{"pre-start"});
    EXPECT_EQ(at(0, 3), Plays{"start"});
}

TEST_F(SchedulerTest, SecondChannelNeverRings) {
    EXPECT_EQ(at(7, 30), Plays{});
    EXPECT_EQ(at(7, 25), Plays{});
    EXPECT_EQ(at(7, 31), Plays{});
}

TEST_F(SchedulerTest, ExtraPlaysRingPerSlotEvenTwice) {
    timetable().customPlays = {UserPlay{PlayDesc{"extra"}, {TimeOfDay(10, 0), TimeOfDay(10, 0), TimeOfDay(11, 0)}}};
    EXPECT_EQ(at(10, 0), Plays({"extra", "extra"}));
    EXPECT_EQ(at(11, 0), Plays{"extra"});
}

// In a quiet period the lesson signals and extra plays are logged as skipped; programmes play.
TEST_F(SchedulerTest, QuietBellsAreSkippedAndProgrammesStillPlay) {
    quiet.load(dir.path() / "quiet.json");
    timetable().customPlays = {UserPlay{PlayDesc{"extra"}, {TimeOfDay(8, 20)}}};
    docs.db.edit().programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(8, 10), false});
    quiet.mute(time.reading(), TimeOfDay(8, 0), TimeOfDay(8, 45));
    quiet.skip(time.reading(), TimeOfDay(9, 30));
    const struct {
        int h, m;
        Plays plays;
    } cases[] = {
        {7, 55, {"pre-start"}},
        {8, 0, {"start skipped: quiet period"}},
        {8, 10, {"song-a"}},
        {8, 20, {"extra skipped: quiet period"}},
        {8, 40, {"pre-end skipped: quiet period", "pre-start skipped: quiet period"}},
        {8, 45, {"end", "start"}},
        {9, 30, {"end skipped: quiet period"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.h, c.m), c.plays) << c.h << ":" << c.m;
}

// A planned period holds the programmes inside it too, unless it lets them sound; a held programme
// that deletes itself stays, with its song, for the user to book again.
TEST_F(SchedulerTest, APlannedQuietPeriodHoldsItsProgrammesWhenItSays) {
    quiet.load(dir.path() / "quiet.json");
    auto& programmes = docs.db.edit().programmes;
    programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(8, 10), true}, "held");
    programmes.add(Programme{"song-b", Date(2026, 12, 8), TimeOfDay(9, 10), false}, "sounds");
    quiet.plan(time.reading(), PlannedQuiet{"", "2026-12-08", TimeOfDay(8, 0), TimeOfDay(8, 45), "Exam"});
    quiet.plan(time.reading(), PlannedQuiet{"", "2026-12-08", TimeOfDay(9, 5), TimeOfDay(9, 20), "", false});
    const struct {
        int h, m;
        Plays plays;
    } cases[] = {
        {8, 0, {"start skipped: quiet period"}},
        {8, 10, {"song-a skipped: quiet period"}},
        {8, 45, {"end", "start"}},
        {9, 10, {"song-b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.h, c.m), c.plays) << c.h << ":" << c.m;
    EXPECT_TRUE(programmes.contains("held"));
    EXPECT_TRUE(docs.db->songs.contains("song-a"));
}

TEST_F(SchedulerTest, ProgrammesRingOnTheirDateAndDeleteThemselvesWithTheirSong) {
    auto& programmes = docs.db.edit().programmes;
    programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(10, 30), true}, "a");
    programmes.add(Programme{"song-b", Date(2026, 12, 8), TimeOfDay(10, 30), false}, "b");
    programmes.add(Programme{"song-b", Date(2026, 12, 9), TimeOfDay(10, 30), true}, "tomorrow");
    EXPECT_EQ(at(10, 30), Plays({"song-a then removed", "song-b"}));
    EXPECT_FALSE(programmes.contains("a"));
    EXPECT_FALSE(docs.db->songs.contains("song-a"));
    EXPECT_TRUE(programmes.contains("b"));
    EXPECT_TRUE(programmes.contains("tomorrow"));
    EXPECT_TRUE(docs.db->songs.contains("song-b"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "_db.json")) << "the scheduler writes no file";
}

// Switched off, nothing rings; what would have is logged as skipped, so that the day says why.
TEST_F(SchedulerTest, SwitchedOffRingsNothingButKeepsItsOtherDuties) {
    docs.db.edit().settings.schedulerEnable = false;
    docs.db.edit().programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(8, 0)});
    docs.db.edit().settings.dailyPreferences = {"chosen", 1};
    EXPECT_EQ(at(8, 0, 0), Plays({"song-a skipped: bells off", "start skipped: bells off"}));
    for (int s = 1; s < 6; ++s)
        EXPECT_EQ(at(8, 0, s), Plays{});
    EXPECT_EQ(docs.db->programmes.size(), 1u);
    EXPECT_FALSE(docs.db->settings.dailyPreferences.selectedTimetableId) << "the day reset goes on";
    EXPECT_EQ(docs.db->settings.dailyPreferences._lastDay, 342);
    // The phone-home runs on a thread of its own, which a loaded machine may start late.
    eventually([&] { return phoneHomes > 0; }, std::chrono::seconds(10));
    EXPECT_EQ(phoneHomes.load(), 1) << "phone-home on the fifth new reading";
}

TEST_F(SchedulerTest, EachReadingRingsOnce) {
    EXPECT_EQ(at(8, 0), Plays{"start"});
    sounds.plays.clear();
    scheduler.pass(); // the same reading again
    scheduler.pass();
    EXPECT_EQ(sounds.plays, Plays{});
}

// What rings, and what is logged at warning level, when the clock moves from one reading to the
// next in one pass: stalls of up to five seconds are caught up late, longer jumps are not, and a
// step back rings nothing twice.
TEST_F(SchedulerTest, SecondsTheLoopDidNotSeeRingLateWithinFiveSeconds) {
    struct Case {
        const char* what;
        int from[3]; // h, m, s of the last reading seen
        long step;   // seconds to the next reading
        Plays plays;
        std::vector<std::string> warnings;
    };
    const std::vector<Case> cases{
        {"two seconds over a lesson's end", {9, 29, 59}, 2, {"end"}, {"The bells due at 09:30:00 started 1 s late"}},
        {"five seconds over the end",
         {9, 29, 55},
         6,
         {},
         {"The clock jumped forward by 6 s: the bells of the "
          "skipped seconds do not ring"}},
        {"four seconds over the end", {9, 29, 57}, 5, {"end"}, {"The bells due at 09:30:00 started 2 s late"}},
        {"onto the end itself", {9, 29, 58}, 2, {"end"}, {}},
        {"ten minutes over the end",
         {9, 25, 0},
         600,
         {},
         {"The clock jumped forward by 600 s: the bells of the "
          "skipped seconds do not ring"}},
        {"ten minutes onto a warning bell",
         {7, 45, 0},
         600,
         {"pre-start"},
         {"The clock jumped forward by 600 s: the bells of the skipped seconds do not ring"}},
        {"across midnight", {23, 59, 58}, 3, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scheduler fresh(docs, clock, sounds, quiet, {}, paths);
        time.set(2026, 12, 8, c.from[0], c.from[1], c.from[2]);
        fresh.pass();
        sounds.plays.clear();
        log.clear();
        time.advance(c.step);
        fresh.pass();
        EXPECT_EQ(sounds.plays, c.plays);
        EXPECT_EQ(log.textsAt(spdlog::level::warn), c.warnings);
    }
}

TEST_F(SchedulerTest, AStepBackRingsNothingTwice) {
    EXPECT_EQ(at(8, 0), Plays{"start"});
    at(8, 0, 1);
    log.clear();
    EXPECT_EQ(at(7, 59, 58), Plays{});
    EXPECT_EQ(log.textsAt(spdlog::level::warn),
              std::vector<std::string>{"The clock went back by 3 s: the seconds it shows again do not ring twice"});
    EXPECT_EQ(at(7, 59, 59), Plays{});
    EXPECT_EQ(at(8, 0, 0), Plays{}) << "already rung";
    EXPECT_EQ(at(8, 0, 1), Plays{});
    // Seconds the clock had jumped over were never rung; they ring when the clock shows them.
    at(8, 45, 0);
    EXPECT_EQ(at(8, 40, 0), Plays({"pre-end", "pre-start"}));
}

// A restart: the seconds from start-up on in which today's play log holds a scheduled play were
// handled by the process before, whatever became of the play.
TEST_F(SchedulerTest, ARestartRingsNothingThePlayLogShowsAsAlreadyHandled) {
    struct Logged {
        const char* due;
        PlaySource source;
        PlayOutcome outcome = PlayOutcome::PLAYED;
    };
    const struct {
        const char* what;
        std::vector<Logged> log;
        Plays atStart; // the first pass, at 08:00:00
        Plays later;   // the pass at 08:40:00
    } cases[] = {
        {"the bell of the start-up second",
         {{"2026-12-08T08:00:00", PlaySource::LESSON_START}},
         {},
         {"pre-end", "pre-start"}},
        {"that bell skipped in a quiet period",
         {{"2026-12-08T08:00:00", PlaySource::LESSON_START, PlayOutcome::SKIPPED}},
         {},
         {"pre-end", "pre-start"}},
        {"a programme of that second", {{"2026-12-08T08:00:00", PlaySource::PROGRAMME}}, {}, {"pre-end", "pre-start"}},
        {"an earlier second's bell",
         {{"2026-12-08T07:55:00", PlaySource::PRE_START}},
         {"start"},
         {"pre-end", "pre-start"}},
        {"yesterday's bell of that second",
         {{"2026-12-07T08:00:00", PlaySource::LESSON_START}},
         {"start"},
         {"pre-end", "pre-start"}},
        {"plays by hand, announcements and the alarm in that second",
         {{"2026-12-08T08:00:00", PlaySource::MANUAL},
          {"2026-12-08T08:00:00", PlaySource::ANNOUNCEMENT},
          {"2026-12-08T08:00:00", PlaySource::ALARM}},
         {"start"},
         {"pre-end", "pre-start"}},
        {"a later second, rung while the clock was ahead",
         {{"2026-12-08T08:40:00", PlaySource::PRE_END}},
         {"start"},
         {}},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlayLog playLog;
        playLog.open(dir.path() / ("playlog-" + std::to_string(++number)));
        for (const Logged& l : c.log) {
            PlayLogEntry entry;
            entry.id = PlayLog::newEntryId();
            entry.due = l.due;
            entry.source = l.source;
            entry.outcome = l.outcome;
            playLog.record(entry);
        }
        time.set(2026, 12, 8, 8, 0, 0);
        Scheduler restarted(docs, clock, sounds, quiet, {}, paths);
        restarted.markHandled(loggedScheduledSeconds(playLog, clock.updateClock()));
        sounds.plays.clear();
        restarted.pass();
        EXPECT_EQ(sounds.plays, c.atStart);
        time.set(2026, 12, 8, 8, 40, 0);
        sounds.plays.clear();
        restarted.pass();
        EXPECT_EQ(sounds.plays, c.later);
    }
}

// A restart after many plays at seconds still to come (the clock went back) keeps the seconds it
// meets first.
TEST(LoggedScheduledSeconds, AreTheEarliestFromStartUpOn) {
    TempDir dir;
    PlayLog playLog;
    playLog.open(dir.path());
    const ClockReading start = tollwick::test::readingAt(2026, 12, 8, 8, 0, 0);
    const long long first = wallSecondsOf(start);
    for (long long s = first - 2; s < first + 40; s += 2) {
        PlayLogEntry entry;
        entry.id = PlayLog::newEntryId();
        entry.due = isoSecondText(readingAtWallSeconds(s, 0));
        entry.source = PlaySource::EXTRA_PLAY;
        playLog.record(entry);
    }
    const std::vector<long long> seconds = loggedScheduledSeconds(playLog, start);
    ASSERT_EQ(seconds.size(), HandledSeconds::MAX_SPANS);
    EXPECT_EQ(seconds.front(), first);
    EXPECT_EQ(seconds.back(), first + 2 * (HandledSeconds::MAX_SPANS - 1));
}

TEST_F(SchedulerTest, OneFailingPlayNeitherSilencesNorRepeatsTheOthers) {
    timetable().chA.endOfClass.id = "deleted-song";
    docs.db.edit().programmes.add(Programme{"gone", Date(2026, 12, 8), TimeOfDay(8, 45), true}, "p1");
    docs.db.edit().programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(8, 45), false}, "p2");
    EXPECT_EQ(at(8, 45), Plays({"song-a", "start"}));
    EXPECT_FALSE(docs.db->programmes.contains("p1")) << "a programme whose song is gone is still removed";
    sounds.plays.clear();
    for (int i = 0; i < 10; ++i)
        scheduler.pass();
    EXPECT_EQ(sounds.plays, Plays{}) << "the second counts as done";
}

TEST_F(SchedulerTest, ProgrammeWithADeletedSongDoesNotStopTheBells) {
    docs.db.edit().programmes.add(Programme{"gone", Date(2026, 12, 8), TimeOfDay(12, 0), false});
    EXPECT_EQ(at(8, 0), Plays{"start"});
}

TEST_F(SchedulerTest, DailyChoiceLapsesAtANewDay) {
    docs.db.edit().settings.dailyPreferences = {"chosen", 342};
    at(23, 59, 59);
    EXPECT_EQ(docs.db->settings.dailyPreferences.selectedTimetableId, "chosen");
    time.advance(1);
    scheduler.pass();
    EXPECT_FALSE(docs.db->settings.dailyPreferences.selectedTimetableId);
    EXPECT_EQ(docs.db->settings.dailyPreferences._lastDay, 343);
}

// The writer thread looks a document over (under the mutex) whenever it was handed out for change;
// a bell that changes nothing must not bring that on every second.
TEST_F(SchedulerTest, OnlyASecondThatChangesSomethingTouchesTheDocuments) {
    docs.db.edit().programmes.add(Programme{"song-a", Date(2026, 12, 8), TimeOfDay(10, 30), true}, "once");
    at(7, 59, 59); // the day reset of the first pass
    struct Case {
        int h, m, s;
        bool touchesDb;
        const char* what;
    } cases[] = {
        {8, 0, 0, false, "a lesson bell"},
        {8, 0, 1, false, "a second with nothing due"},
        {10, 30, 0, true, "a programme that deletes itself"},
        {10, 30, 1, false, "the second after it"},
    };
    for (const Case& c : cases) {
        const auto dbBefore = docs.db.touches(), cacheBefore = docs.cache.touches();
        at(c.h, c.m, c.s);
        EXPECT_EQ(docs.db.touches() != dbBefore, c.touchesDb) << c.what;
        EXPECT_EQ(docs.cache.touches(), cacheBefore) << c.what;
    }
    time.set(2026, 12, 9, 0, 0, 0);
    const auto dbBefore = docs.db.touches();
    scheduler.pass();
    EXPECT_NE(docs.db.touches(), dbBefore) << "the day reset of a new day";
}

TEST_F(SchedulerTest, PhoneHomeRunsOnItsOwnThreadOneAtATime) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<int> started{0}, finished{0};
    Scheduler slow(docs, clock, sounds, quiet, [&] {
        ++started;
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return release; });
        }
        ++finished; // the last touch of this test's locals
    }, paths);
    for (int i = 0; i < 5; ++i) {
        time.advance(1);
        slow.pass();
    }
    eventually([&] { return started > 0; }, std::chrono::seconds(10));
    EXPECT_EQ(started, 1);
    // The service does not answer; the bells go on.
    time.set(2026, 12, 8, 8, 0, 0);
    sounds.plays.clear();
    slow.pass();
    EXPECT_EQ(sounds.plays, Plays{"start"});
    {
        std::scoped_lock lock(m);
        release = true;
    }
    cv.notify_all();
    eventually([&] { return finished > 0; }, std::chrono::seconds(10)); // before the locals it uses go
    EXPECT_EQ(finished, 1);
}

// The loop wakes at least ten times a second, once shortly before each boundary, and then just
// after it.
TEST(SchedulerTiming, WakesJustAfterEachSecondBoundaryFromAShortLastSleep) {
    using namespace std::chrono;
    const system_clock::time_point second{seconds(1'765'000'000)};
    const struct {
        microseconds into;
        microseconds sleep;
    } cases[] = {
        {microseconds(0), milliseconds(100)},       {milliseconds(400), milliseconds(100)},
        {milliseconds(950), microseconds(48'020)},  {microseconds(998'000), microseconds(20)},
        {microseconds(998'100), microseconds(1'920)}, {microseconds(999'900), microseconds(120)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scheduler::sleepAfterPass(second + c.into), c.sleep) << c.into.count() << " µs into the second";
}

struct AlarmTest : SchedulerTest {
    Alarm& alarm = system.alarm();
    void toggle() {
        alarm.toggle([this] { return resolveAlarm(*docs.db, paths); });
    }
};

TEST_F(AlarmTest, TogglesAnEndlessRepetitionOfTheAlarmSignal) {
    docs.db.edit().songs.set("ID_alarm", AudioAsset{"alarm"});
    docs.db.edit().settings.alarmDelaySec = 1.5;
    toggle();
    EXPECT_TRUE(alarm.isActive());
    EXPECT_EQ(sounds.plays, Plays{"ID_alarm x-1 1.500000s"});
    const auto handle = sounds.last;
    toggle();
    EXPECT_FALSE(alarm.isActive());
    EXPECT_TRUE(handle->aborted);
}

TEST_F(AlarmTest, AnAlarmWhosePlayEndedShowsAsOffAndTheNextToggleStartsIt) {
    docs.db.edit().songs.set("ID_alarm", AudioAsset{"alarm"});
    toggle();
    sounds.last->ended = true; // its signal could not be started again
    EXPECT_FALSE(alarm.isActive());
    toggle();
    EXPECT_TRUE(alarm.isActive());
    EXPECT_EQ(sounds.plays.size(), 2u);
}

TEST_F(AlarmTest, ADelayOutsideTheLimitsFromAnOlderDatabaseIsBounded) {
    docs.db.edit().songs.set("ID_alarm", AudioAsset{"alarm"});
    docs.db.edit().settings.alarmDelaySec = 86400;
    toggle();
    EXPECT_EQ(sounds.plays, Plays{"ID_alarm x-1 600.000000s"});
}

TEST_F(AlarmTest, StaysOffWhenNothingCanBePlayed) {
    docs.db.edit().settings.alarmSignalId = "NULL";
    toggle();
    EXPECT_FALSE(alarm.isActive());
    docs.db.edit().songs.set("ID_alarm", AudioAsset{"alarm"});
    sounds.missingFiles.insert("ID_alarm");
    docs.db.edit().settings.alarmSignalId = "ID_alarm";
    toggle();
    EXPECT_FALSE(alarm.isActive()) << "its file is missing";
    docs.db.edit().settings.alarmSignalId = "no-such-song";
    EXPECT_THROW(toggle(), KeyError);
    EXPECT_FALSE(alarm.isActive());
}

} // namespace
