// The day at a glance over HTTP: the play log of a day, the next bell, quiet periods and the
// clock's health.
#include "storage/atomic_file.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

using Strings = std::vector<std::string>;

struct DayAtAGlance : WebTest {
    Browser b = browser();

    DayAtAGlance() {
        std::scoped_lock lock(docs.mutex);
        TimeTable& tt = db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {Lesson::decode("10:30 - 11:15"), Lesson::decode("11:20 - 12:05")};
    }

    // A first lesson before the fixture's ten o'clock, so that some of today's bells are past.
    void startAtNine() {
        std::scoped_lock lock(docs.mutex);
        db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).chA.lessons = {Lesson::decode("09:00 - 10:00"),
                                                                         Lesson::decode("10:30 - 11:15")};
    }
};

TEST_F(DayAtAGlance, TheNextBellWithItsCountdownAndQuietTimesThatSkipIt) {
    EXPECT_EQ(
        jsonOf(b.get("/api/get/nextBell")),
        Json::parse(R"({"at": "10:25:00", "inSec": 1500, "source": "preStart", "lesson": 1, "songName": "ping"})"));
    EXPECT_EQ(outcome(b.get("/api/trigger/muteBells/today?from=10:20&to=11:16")), "200 ok");
    EXPECT_EQ(jsonOf(b.get("/api/get/nextBell"))["at"], "11:20:00") << "lesson 2's warning falls in the period";
    EXPECT_EQ(outcome(b.get("/api/trigger/skipNextBell/today")), "200 ok");
    EXPECT_EQ(jsonOf(b.get("/api/get/nextBell"))["at"], "12:00:00");
    EXPECT_EQ(jsonOf(b.get("/api/get/quietToday")),
              Json::parse(R"({"periods": [{"from": "10:20", "to": "11:16"}], "skippedBells": ["11:20:00"], "planned": []})"));
    EXPECT_EQ(outcome(b.get("/api/trigger/clearQuiet/today")), "200 ok");
    EXPECT_EQ(jsonOf(b.get("/api/get/nextBell"))["at"], "10:25:00");

    time.set(2024, 9, 2, 12, 5, 0);
    clock.updateClock();
    EXPECT_EQ(outcome(b.get("/api/get/nextBell")), "200 null");
    EXPECT_EQ(outcome(b.get("/api/trigger/skipNextBell/today")), "400 No more bells ring today");
}

TEST_F(DayAtAGlance, MalformedQuietTimesAreRefused) {
    const struct {
        const char* query;
        const char* answer;
    } cases[] = {
        {"muteBells/today?to=11:00", "400 Missing query parameter: from"},
        {"muteBells/today?from=9:00&to=11:00", "400 Invalid time: '9:00' (expected HH:MM)"},
        {"muteBells/today?from=09:00&to=24:00", "400 Invalid time: '24:00' (expected HH:MM)"},
        {"muteBells/today?from=11:00&to=09:00", "400 The quiet period must end after it begins"},
        {"muteBells/today?from=11:00&to=11:00", "400 The quiet period must end after it begins"},
        {"muteBells/today?from=08:00&to=09:59", "400 That time is already over today"},
        {"muteBells/tomorrow?from=11:00&to=12:00", "400 Only today's bells can be kept quiet: use the id \"today\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome(b.get(std::string("/api/trigger/") + c.query)), c.answer) << c.query;
    EXPECT_EQ(jsonOf(b.get("/api/get/quietToday"))["periods"], Json::array());
}

TEST_F(DayAtAGlance, QuietPeriodsArePlannedForAnyDayAndListedUntilTheyAreOver) {
    const std::string plan = "/api/trigger/planQuiet/0?";
    EXPECT_EQ(outcome(b.get(plan + "date=2024-09-05&from=08:00&to=09:30&name=Maths%20exam%2C%2010B")), "200 ok");
    EXPECT_EQ(outcome(b.get(plan + "date=2024-09-02&from=11:00&to=11:30&holdProgrammes=false")), "200 ok");
    Json planned = jsonOf(b.get("/api/get/quietPlanned"));
    ASSERT_EQ(planned.size(), 2u);
    const std::string todays = planned[0]["id"];
    for (Json& p : planned)
        p.erase("id");
    EXPECT_EQ(planned, Json::parse(R"([
        {"date": "2024-09-02", "from": "11:00", "to": "11:30", "name": "", "holdProgrammes": false},
        {"date": "2024-09-05", "from": "08:00", "to": "09:30", "name": "Maths exam, 10B", "holdProgrammes": true}])"));
    const Json today = jsonOf(b.get("/api/get/quietToday"))["planned"];
    ASSERT_EQ(today.size(), 1u);
    EXPECT_EQ(today[0]["id"], todays);
    EXPECT_EQ(jsonOf(b.get("/api/get/nextBell"))["at"], "10:25:00");
    time.set(2024, 9, 2, 11, 10, 0);
    clock.updateClock();
    EXPECT_EQ(jsonOf(b.get("/api/get/nextBell"))["at"], "12:00:00") << "11:15 and 11:20 fall in the period";

    const struct {
        const char* query;
        const char* answer;
    } refused[] = {
        {"from=08:00&to=09:00", "400 Missing query parameter: date"},
        {"date=2024-9-05&from=08:00&to=09:00", "400 Invalid date: '2024-9-05' (expected yyyy-mm-dd)"},
        {"date=2024-09-01&from=08:00&to=09:00", "400 That time is already over"},
        {"date=2024-09-05&from=08:00&to=09:00&name=%FF", "400 name is not valid UTF-8 text"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(outcome(b.get(plan + c.query)), c.answer) << c.query;

    EXPECT_EQ(outcome(b.get("/api/trigger/unplanQuiet/" + todays)), "200 ok");
    EXPECT_EQ(outcome(b.get("/api/trigger/unplanQuiet/" + todays)), "400 Key not found: " + todays);
    EXPECT_EQ(jsonOf(b.get("/api/get/quietPlanned")).size(), 1u);
}

// A request sent twice (a double click, a retry) keeps one period and leaves the file as it is.
TEST_F(DayAtAGlance, ARepeatedQuietPeriodIsKeptOnceAndAFullDayRefusesMore) {
    const std::string muteFrom10 = "/api/trigger/muteBells/today?from=10:20&to=10:40";
    ASSERT_EQ(outcome(b.get(muteFrom10)), "200 ok");
    const std::filesystem::path file = dataDir() / "quiet.json";
    const std::optional<std::string> written = readWholeFile(file);
    const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(file, longAgo);
    EXPECT_EQ(outcome(b.get(muteFrom10)), "200 ok");
    EXPECT_EQ(std::filesystem::last_write_time(file), longAgo) << "not written again";
    EXPECT_EQ(readWholeFile(file), written);

    for (std::size_t k = 1; k < QuietPeriods::MAX_PERIODS; ++k)
        ASSERT_EQ(outcome(b.get("/api/trigger/muteBells/today?from=11:" + std::to_string(10 + k) + "&to=11:59")),
                  "200 ok");
    EXPECT_EQ(outcome(b.get("/api/trigger/muteBells/today?from=11:00&to=11:59")),
              "400 Today already has 16 quiet periods, the most a day can hold. Clear them to set new ones.");
    EXPECT_EQ(jsonOf(b.get("/api/get/quietToday"))["periods"].size(), QuietPeriods::MAX_PERIODS);
}

TEST_F(DayAtAGlance, ThePlayLogOfADayAndItsRefusalOfWhatIsNoDate) {
    service.offer("fire-drill", "spoken words");
    EXPECT_EQ(outcome(b.get("/api/trigger/playSignal/ID_ping")), "200 ok");
    // Entries due in the same second come in the order they were first written: when their sound began.
    ASSERT_TRUE(player.waitUntilAllEnded(std::chrono::seconds(10)));
    EXPECT_EQ(outcome(b.get("/api/trigger/announce/fire-drill")), "200 ok");
    ASSERT_TRUE(player.waitUntilAllEnded(std::chrono::seconds(10)));
    EXPECT_EQ(outcome(b.get("/api/trigger/announce/no-such")), "400 Failed to download announcement");

    const Json today = jsonOf(b.get("/api/get/playLog"));
    ASSERT_EQ(today.size(), 3u);
    EXPECT_EQ(keysOf(today[0]),
              (Strings{"due", "started", "lateMs", "source", "lesson", "songId", "songName", "outcome", "detail"}));
    EXPECT_EQ(today[0]["due"], "2024-09-02T10:00:00");
    EXPECT_EQ(today[0]["started"], "2024-09-02T10:00:00.000");
    EXPECT_EQ(today[0]["source"], "manual");
    EXPECT_EQ(today[0]["songName"], "ping");
    EXPECT_EQ(today[1]["source"], "announcement");
    EXPECT_EQ(today[1]["outcome"], "played");
    EXPECT_EQ(today[2]["outcome"], "failed");
    EXPECT_EQ(today[2]["detail"], "Failed to download announcement");
    EXPECT_EQ(jsonOf(b.get("/api/get/playLog?date=2024-09-02")), today);
    EXPECT_EQ(outcome(b.get("/api/get/playLog?date=2024-09-01")), "200 []");
    for (const char* bad : {"2024-9-02", "2024-02-30", "yesterday", ""})
        EXPECT_EQ(b.get(std::string("/api/get/playLog?date=") + bad)->status, 400) << bad;
}

TEST_F(DayAtAGlance, TodaysBellsCarryWhatBecameOfEach) {
    startAtNine();
    PlayLogEntry rang;
    rang.id = "r";
    rang.due = "2024-09-02T10:00:00";
    rang.started = "2024-09-02T10:00:00.002";
    rang.source = PlaySource::LESSON_END;
    rang.lesson = 1;
    playLog.record(rang);
    quiet.skip(clock.getClock(), TimeOfDay(10, 30));
    Strings marks;
    for (const Json& bell : jsonOf(b.get("/api/get/todayBells")))
        marks.push_back(bell["at"].get<std::string>() + " " + bell["mark"].get<std::string>());
    EXPECT_EQ(marks, (Strings{"08:55:00 missed", "09:00:00 missed", "09:55:00 missed", "10:00:00 played",
                              "10:25:00 coming", "10:30:00 quiet", "11:10:00 coming", "11:15:00 coming"}));
}

// The answer's text, row by row: a logged bell as its entry has it, any other as the timetable does,
// and a logged bell of a timetable no longer in force in its place among them.
TEST_F(DayAtAGlance, TodaysBellsAnswerWithEveryFieldOfEachRow) {
    PlayLogEntry rang;
    rang.id = "r";
    rang.due = "2024-09-02T10:25:00";
    rang.started = "2024-09-02T10:25:00.004";
    rang.lateMs = 4;
    rang.source = PlaySource::PRE_START;
    rang.lesson = 1;
    rang.songName = "ping";
    playLog.record(rang);
    PlayLogEntry earlier = rang;
    earlier.id = "e";
    earlier.due = "2024-09-02T09:00:00";
    earlier.started.reset();
    earlier.lateMs.reset();
    earlier.source = PlaySource::EXTRA_PLAY;
    earlier.lesson.reset();
    earlier.outcome = PlayOutcome::FAILED;
    earlier.detail = "File not found";
    playLog.record(earlier);
    time.set(2024, 9, 2, 10, 26, 0);
    clock.updateClock();
    ASSERT_EQ(outcome(b.get("/api/trigger/muteBells/today?from=11:00&to=11:12")), "200 ok");

    const std::string answer = b.get("/api/get/todayBells")->body;
    const std::string rows[] = {
        R"({"at": "09:00:00", "source": "extraPlay", "lesson": null, "songName": "ping", "mark": "failed", )"
        R"("started": null, "lateMs": null, "detail": "File not found", "systemStarted": null})",
        R"({"at": "10:25:00", "source": "preStart", "lesson": 1, "songName": "ping", "mark": "played", )"
        R"("started": "2024-09-02T10:25:00.004", "lateMs": 4, "detail": "", "systemStarted": null})",
        R"({"at": "10:30:00", "source": "lessonStart", "lesson": 1, "songName": "melody", "mark": "coming", )"
        R"("started": null, "lateMs": null, "detail": "", "systemStarted": null})",
        R"({"at": "11:10:00", "source": "preEnd", "lesson": 1, "songName": "ping", "mark": "quiet", )"
        R"("started": null, "lateMs": null, "detail": "", "systemStarted": null})",
    };
    std::string expected = "[";
    for (const std::string& row : rows)
        expected += row + ", ";
    EXPECT_EQ(answer.substr(0, expected.size()), expected);
}

TEST_F(DayAtAGlance, TheClockHealthSaysWhatThePlatformKnows) {
    const Json health = jsonOf(b.get("/api/get/clockHealth"));
    EXPECT_EQ(keysOf(health), (Strings{"synchronised", "maxErrorMs", "timezone", "utcOffsetMin"}));
    EXPECT_TRUE(health["synchronised"].is_boolean()) << "Linux tells through adjtimex";
    EXPECT_TRUE(health["maxErrorMs"].is_number_integer());
    EXPECT_TRUE(health["utcOffsetMin"].is_number_integer());
    EXPECT_LE(std::abs(health["utcOffsetMin"].get<int>()), 14 * 60);
}

} // namespace

namespace {

// One day of the plan in a line: "<date> <timetable> <reason> <bells> [<event's name>]".
std::string dayLine(const Json& day) {
    std::string line = day["date"].get<std::string>() + " " + day["timetableId"].get<std::string>() + " " +
                       day["reason"].get<std::string>() + " " + std::to_string(day["bells"].size());
    if (day["event"].is_object())
        line += " [" + day["event"]["name"].get<std::string>() + "]";
    return line;
}


TEST_F(DayAtAGlance, TheDaysAheadSayWhichTimetableRingsAndWhy) {
    const std::string normal = FACTORY_DEFAULT_TIMETABLE_ID;
    ASSERT_EQ(outcome(b.get("/api/trigger/addSingleEvent/0?timetableId=NULL&startDate=2024-09-04&endDate=2024-09-04"
                            "&name=Open%20day")),
              "200 ok");
    ASSERT_EQ(outcome(b.get("/api/trigger/addReoccurringEvent/0?timetableId=" + normal + "&mode=1&days=32")), "200 ok");
    ASSERT_EQ(outcome(b.get("/api/trigger/planQuiet/0?date=2024-09-03&from=10:00&to=11:00&name=Exam")), "200 ok");
    {
        std::scoped_lock lock(docs.mutex);
        db().programmes.add(Programme{"ID_ping", Date{2024, 9, 3}, TimeOfDay{8, 30, 0}}, "p1");
        db().settings.dailyPreferences.selectedTimetableId = "NULL";
    }
    const Json plan = jsonOf(b.get("/api/get/days"));
    EXPECT_EQ(plan["today"], "2024-09-02");
    EXPECT_EQ(plan["bellsOn"], true);
    Strings lines;
    for (const Json& day : plan["days"])
        lines.push_back(dayLine(day));
    EXPECT_EQ(lines, (Strings{"2024-09-02 NULL DAILY_OVERRIDE 0", "2024-09-03 " + normal + " DEFAULT 8",
                              "2024-09-04 NULL SINGLE_EVENT 0 [Open day]", "2024-09-05 " + normal + " DEFAULT 8",
                              "2024-09-06 " + normal + " DEFAULT 8", "2024-09-07 " + normal + " RECURRING_EVENT 8 []",
                              "2024-09-08 NULL NO_SCHOOL 0"}));
    const Json tuesday = plan["days"][1];
    EXPECT_EQ(tuesday["bells"].front(),
              Json::parse(R"({"at": "10:25:00", "source": "preStart", "lesson": 1, "songName": "ping"})"));
    EXPECT_EQ(tuesday["bells"].back()["at"], "12:05:00");
    EXPECT_EQ(tuesday["programmes"], Json::parse(R"([{"at": "08:30:00", "name": "ping"}])"));
    ASSERT_EQ(tuesday["quiet"].size(), 1u);
    EXPECT_EQ(tuesday["quiet"][0]["name"], "Exam");
    EXPECT_EQ(plan["days"][6]["typeOfDay"], "NON_WORKDAY");

    {
        std::scoped_lock lock(docs.mutex);
        db().settings.schedulerEnable = false;
    }
    const Json later = jsonOf(b.get("/api/get/days?from=2024-09-05&count=2"));
    EXPECT_EQ(later["bellsOn"], false);
    EXPECT_EQ(dayLine(later["days"][1]), "2024-09-06 " + normal + " DEFAULT 8") << "what would ring, switched off";

    for (const char* bad : {"count=0", "count=43", "count=seven", "from=2024-9-05", "from=9999-12-30&count=3"})
        EXPECT_EQ(b.get(std::string("/api/get/days?") + bad)->status, 400) << bad;
}

// A bell that did not ring says why: nothing ran before this start, or the bells were switched off.
TEST_F(DayAtAGlance, ABellThatDidNotRingSaysWhy) {
    startAtNine();
    PlayLogEntry off;
    off.id = "off";
    off.due = "2024-09-02T10:25:00";
    off.source = PlaySource::PRE_START;
    off.lesson = 2;
    off.outcome = PlayOutcome::SKIPPED;
    off.detail = "bells off";
    playLog.record(off);
    time.set(2024, 9, 2, 10, 45, 0);
    clock.updateClock();
    Strings rows;
    for (const Json& bell : jsonOf(b.get("/api/get/todayBells")))
        if (bell["at"] < "10:45:00")
            rows.push_back(bell["at"].get<std::string>() + " " + bell["mark"].get<std::string>() + " " +
                           bell["detail"].get<std::string>() + " " + bell["systemStarted"].dump());
    EXPECT_EQ(rows, (Strings{"08:55:00 missed not running \"10:00:00\"", "09:00:00 missed not running \"10:00:00\"",
                             "09:55:00 missed not running \"10:00:00\"", "10:00:00 missed  null",
                             "10:25:00 skipped bells off null", "10:30:00 missed  null"}));
}

} // namespace
