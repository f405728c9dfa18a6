// The change log through the real routes: each change a browser makes is recorded with its action,
// target and summary; no secret reaches the day's file; the last switch of the bells survives a
// restart.
#include <fstream>
#include <functional>
#include <sstream>

#include "storage/atomic_file.h"
#include "support/wave_file.h"
#include "web/http/session.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
namespace fs = std::filesystem;

namespace {

struct ChangeLogRoutes : WebTest {
    Browser b = browser();

    ChangeLogRoutes() {
        std::scoped_lock lock(docs.mutex);
        db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID).chA.lessons = {Lesson::decode("10:30 - 11:15"),
                                                                         Lesson::decode("11:20 - 12:05")};
    }

    // Today's entries, read past the login guard.
    Json entries() {
        Json out = Json::array();
        for (const ChangeLogEntry& e : system.changeLog().read("2024-09-02"))
            out.push_back(to_dict(e));
        return out;
    }
    std::string trigger(const std::string& path) { return outcome(b.get("/api/trigger/" + path)); }
    std::string login(Browser& browser, const std::string& password) {
        return outcome(browser.post("/auth/login", "{\"userPassword\": " + Json(password).dump() + "}"));
    }
    std::string wave(double seconds) {
        const fs::path scratch = dataDir().parent_path() / "scratch.wav";
        writeSilentWave(scratch, seconds);
        return readWholeFile(scratch).value();
    }
    // The key a successful POST answers.
    static std::string keyOf(const httplib::Result& answer) {
        EXPECT_EQ(answer->status, 200) << answer->body;
        return jsonOf(answer).get<std::string>();
    }
};

TEST_F(ChangeLogRoutes, EachChangeIsRecordedWithItsActionTargetAndSummary) {
    std::size_t songs = 0;
    std::size_t timetables = 0;
    {
        std::scoped_lock lock(docs.mutex);
        songs = db().songs.size();
        timetables = db().timetables.size();
    }
    std::string timetable, signal, programme, planned;
    using Target = std::optional<std::string>;
    const struct {
        std::function<Target()> perform;                           // answers the target the last entry names
        std::vector<std::pair<std::string, std::string>> recorded; // action and summary, oldest first
    } cases[] = {
        {[&] {
             setPassword(b, "pw");
             return Target();
         },
         {{"auth.password.set", "First password set"}}},
        {[&] {
             EXPECT_EQ(outcome(b.get("/auth/logout")), "302 /login");
             return Target();
         },
         {{"auth.logout", "Logged out"}}},
        {[&] {
             EXPECT_EQ(login(b, "wrong"), "400 Login failed");
             return Target();
         },
         {{"auth.login.failed", "Wrong password"}}},
        {[&] {
             EXPECT_EQ(login(b, "pw"), "302 /");
             return Target();
         },
         {{"auth.login", "Logged in"}}},
        {[&] {
             EXPECT_EQ(outcome(b.post("/auth/chpasswd", "\"pw2\"")), "200 ok");
             return Target();
         },
         {{"auth.password.change", "Password changed; other sessions ended"}}},
        {[&] {
             EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"language": "de", "calendar.workdayMode": 16})")),
                       "200 true");
             return Target();
         },
         {{"settings.update", "calendar.workdayMode: 15 → 16; language: en → de"}}},
        {[&] {
             EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": false})")), "200 true");
             return Target();
         },
         {{"bells.off", "schedulerEnable: true → false"}}},
        {[&] {
             const std::string body = R"({"schedulerEnable": true, "alertTargets": [{"kind": "webhook",
                 "url": "https://hooks.example/T0/secret", "events": ["bells"]}], "schoolName": ")" +
                                      std::string(50, 'x') + "\"}";
             EXPECT_EQ(outcome(b.post("/db/settings/update", body)), "200 true");
             return Target();
         },
         {{"bells.on", "schedulerEnable: false → true"},
          {"settings.update", "schoolName: '' → " + std::string(40, 'x') + "…; alertTargets: 0 → 1 target"}}},
        {[&] {
             timetable = keyOf(b.post("/db/timetables/create", R"({"name": "Normal"})"));
             return timetable;
         },
         {{"timetable.create", "Timetable 'Normal'"}}},
        {[&] {
             const std::string body = R"({"name": "Short", "chA": {"lessons": ["08:00 - 08:45", "09:00 - 09:45",
                 "10:05 - 10:45", "11:00 - 11:45", "12:00 - 12:40"], "preStartWaitMin": 3}})";
             EXPECT_EQ(outcome(b.post("/db/timetables/update/" + timetable, body)), "200 true");
             return timetable;
         },
         {{"timetable.update", "Timetable 'Normal': renamed to 'Short'; lesson 3 start 10:00 → 10:05; lesson 5 "
                               "end 12:45 → 12:40; lesson 6 removed; and 1 more change"}}},
        {[&] {
             EXPECT_EQ(trigger("deleteTimetable/" + timetable), "200 ok");
             return timetable;
         },
         {{"timetable.delete", "Timetable 'Short'"}}},
        {[&] {
             EXPECT_EQ(trigger("addSingleEvent/x?timetableId=NULL&startDate=2024-12-23&endDate=2025-01-03&name=Winter"),
                       "200 ok");
             return Target("Winter");
         },
         {{"event.create", "Event 'Winter' 2024-12-23 to 2025-01-03: no bells"}}},
        {[&] {
             EXPECT_EQ(trigger("addReoccurringEvent/x?timetableId=" + std::string(FACTORY_DEFAULT_TIMETABLE_ID) +
                               "&mode=2&days=5"),
                       "200 ok");
             return Target();
         },
         {{"event.create", "Weekly event on Mon, Wed (even weeks): timetable 'Default'"}}},
        {[&] {
             EXPECT_EQ(trigger("deleteSingleEvent/0"), "200 ok");
             return Target("Winter");
         },
         {{"event.delete", "Event 'Winter' 2024-12-23 to 2025-01-03: no bells"}}},
        {[&] {
             EXPECT_EQ(trigger("deleteReoccurringEvent/-1"), "200 ok");
             return Target();
         },
         {{"event.delete", "Weekly event on Mon, Wed (even weeks): timetable 'Default'"}}},
        {[&] {
             signal = keyOf(b.upload({{"file", wave(1.5), "x.wav", "audio/wav"}, {"signalName", "Bell 2", "", ""}}));
             return signal;
         },
         {{"signal.upload", "Signal 'Bell 2'"}}},
        {[&] {
             EXPECT_EQ(trigger("deleteSignal/" + signal), "200 ok");
             return signal;
         },
         {{"signal.delete", "Signal 'Bell 2'"}}},
        {[&] {
             programme = keyOf(b.upload({{"file", wave(2.5), "x.wav", "audio/wav"},
                                         {"programName", "Assembly", "", ""},
                                         {"date", "2024-09-03", "", ""},
                                         {"time", "10:00", "", ""}}));
             return programme;
         },
         {{"programme.create", "Programme 'Assembly' on 2024-09-03 at 10:00"}}},
        {[&] {
             EXPECT_EQ(trigger("deleteProgramme/" + programme), "200 ok");
             return programme;
         },
         {{"programme.delete", "Programme 'Assembly'"}}},
        {[&] {
             const auto backup = b.get("/backup");
             EXPECT_EQ(backup->status, 200);
             EXPECT_EQ(outcome(b.upload({{"file", backup->body, "backup.zip", "application/zip"}}, "/restore")),
                       "200 ok");
             return Target();
         },
         {{"backup.restore",
           "Backup with " + std::to_string(songs) + " songs and " + std::to_string(timetables) + " timetable"}}},
        {[&] {
             EXPECT_EQ(trigger("toggleAlarm/0"), "200 ok");
             return Target();
         },
         {{"alarm.on", "Alarm switched on"}}},
        {[&] {
             EXPECT_EQ(trigger("toggleAlarm/0"), "200 ok");
             return Target();
         },
         {{"alarm.off", "Alarm switched off"}}},
        {[&] {
             EXPECT_EQ(trigger("skipNextBell/today"), "200 ok");
             return Target();
         },
         {{"quiet.skip", "Bell at 10:25 skipped"}}},
        {[&] {
             EXPECT_EQ(trigger("muteBells/today?from=10:30&to=11:00"), "200 ok");
             return Target();
         },
         {{"quiet.mute", "Bells quiet today from 10:30 to 11:00"}}},
        {[&] {
             EXPECT_EQ(trigger("clearQuiet/today"), "200 ok");
             return Target();
         },
         {{"quiet.clear", "Today's quiet periods and skipped bells cleared"}}},
        {[&] {
             EXPECT_EQ(trigger("planQuiet/0?date=2024-09-03&from=10:00&to=11:00&name=Exam&holdProgrammes=false"),
                       "200 ok");
             planned = jsonOf(b.get("/api/get/quietPlanned"))[0]["id"].get<std::string>();
             return planned;
         },
         {{"quiet.plan", "Quiet period 'Exam' on 2024-09-03 from 10:00 to 11:00, programmes sound"}}},
        {[&] {
             EXPECT_EQ(trigger("unplanQuiet/" + planned), "200 ok");
             return planned;
         },
         {{"quiet.unplan", "Quiet period 'Exam' on 2024-09-03 from 10:00 to 11:00, programmes sound"}}},
        {[&] {
             EXPECT_EQ(trigger("newMetricsToken/0"), "200 ok");
             return Target();
         },
         {{"monitoring.token.new", "New monitoring token; the old one no longer works"}}},
        // Plays and refused requests change nothing.
        {[&] {
             EXPECT_EQ(trigger("playSignal/ID_ping"), "200 ok");
             EXPECT_EQ(trigger("testLoudspeakers/0"), "200 ok");
             EXPECT_EQ(trigger("stopAll/0"), "200 ok");
             EXPECT_EQ(trigger("deleteSignal/nothing"), "400 Key not found: nothing");
             EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"language": "xx"})")).substr(0, 3), "400");
             EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"language": "de"})")), "200 true");
             return Target();
         },
         {}},
    };
    ASSERT_EQ(timetables, 1u);
    std::size_t seen = entries().size();
    EXPECT_EQ(seen, 0u);
    for (const auto& c : cases) {
        const Target target = c.perform();
        const Json all = entries();
        ASSERT_EQ(all.size(), seen + c.recorded.size()) << all.back();
        for (std::size_t i = 0; i < c.recorded.size(); ++i) {
            const Json& e = all[seen + i];
            EXPECT_EQ(e["action"], c.recorded[i].first);
            EXPECT_EQ(e["summary"], c.recorded[i].second) << c.recorded[i].first;
            EXPECT_EQ(e["client"], "127.0.0.1");
            EXPECT_EQ(e["time"], "2024-09-02T10:00:00");
            if (i + 1 == c.recorded.size()) {
                EXPECT_EQ(e["target"], target ? Json(*target) : Json(nullptr)) << c.recorded[i].first;
            }
        }
        seen = all.size();
    }
    EXPECT_EQ(jsonOf(b.get("/api/get/changeLog")), entries());
    EXPECT_EQ(outcome(b.get("/api/get/changeLog?date=2024-9-2")), "400 Invalid date: '2024-9-2' (expected yyyy-mm-dd)");
    EXPECT_EQ(outcome(b.get("/api/get/changeLog?date=2024-09-01")), "200 []");
}

TEST_F(ChangeLogRoutes, NoSecretReachesTheDaysFile) {
    setPassword(b, "first-secret-pw");
    const std::string alertUrl = "https://hooks.example/T0/hook-secret-path";
    ASSERT_EQ(outcome(b.post("/db/settings/update",
                             R"({"alertTargets": [{"kind": "ntfy", "url": ")" + alertUrl + R"(", "events": []}]})")),
              "200 true");
    ASSERT_EQ(trigger("newMetricsToken/0"), "200 ok");
    const std::string token = jsonOf(b.get("/api/get/metricsToken"))["token"].get<std::string>();
    const std::string sessionId = web::decodeSessionCookie(b.cookie, system.sessionKey()).sessionId();
    ASSERT_FALSE(sessionId.empty());
    Browser guesser = browser();
    for (int i = 0; i < 7; ++i)
        login(guesser, "guessed-secret-" + std::to_string(i));

    const Json all = entries();
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all.back()["action"], "auth.login.locked") << "once for the lock, not at every knock";
    EXPECT_EQ(all[all.size() - 2]["action"], "auth.login.failed");
    EXPECT_EQ(all.back()["summary"], "Too many failed logins; wait 60 s");
    EXPECT_EQ(all.back()["session"], nullptr) << "a browser that never logged in has no session";
    EXPECT_EQ(all[0]["session"].get<std::string>().size(), 8u);
    EXPECT_EQ(all[0]["session"], all[1]["session"]) << "one browser, one session";

    const std::string text = readWholeFile(dataDir() / "changelog" / "2024-09-02.jsonl").value();
    std::istringstream lines(text);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_EQ(Json::parse(line)["action"], all[count]["action"]);
    EXPECT_EQ(count, all.size()) << "one line per entry";
    for (const std::string& secret : {std::string("first-secret-pw"), std::string("guessed-secret-0"), b.cookie,
                                      sessionId, token, alertUrl, std::string("hook-secret-path")})
        EXPECT_EQ(text.find(secret), std::string::npos) << secret;
}

TEST_F(ChangeLogRoutes, TheLastSwitchOfTheBellsOutlivesARestart) {
    EXPECT_EQ(outcome(b.get("/api/get/bellsSwitched")), "200 null");
    ASSERT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": false})")), "200 true");
    time.set(2024, 9, 3, 7, 30, 0);
    ASSERT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": true})")), "200 true");
    ASSERT_EQ(outcome(b.post("/db/settings/update", R"({"language": "hu"})")), "200 true");
    const Json expected = Json::parse(R"({"on": true, "time": "2024-09-03T07:30:00", "client": "127.0.0.1",
                                          "session": null})");
    EXPECT_EQ(jsonOf(b.get("/api/get/bellsSwitched")), expected);
    system.saveChangedDocuments();

    // A day without a switch between it and the one that has the last.
    std::ofstream(dataDir() / "changelog" / "2024-09-04.jsonl")
        << R"({"time": "2024-09-04T08:00:00", "client": "x", "session": null, "action": "quiet.clear", )"
        << R"("target": null, "summary": "s"})"
        << "\n{\"damaged\n";
    System next{SystemSeams{.clock = time.source(), .players = recorder->factory(), .phoneHome = [] {}}};
    next.loadDocuments();
    EXPECT_EQ(next.http().answer("bellsSwitched"), expected);
}

} // namespace
