// The target API: every get target and trigger target through the server.
#include <fstream>
#include <map>

#include "audio/audio_length.h"
#include "runtime/version.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "support/eventually.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

struct TargetApi : WebTest {
    Browser b = browser();

    Json get(const std::string& target) {
        const auto answer = b.get("/api/get/" + target);
        EXPECT_EQ(answer->status, 200) << target << ": " << answer->body;
        EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
        return jsonOf(answer);
    }
    // The answer of a trigger: "ok", or the status and the reason.
    std::string trigger(const std::string& targetAndId) {
        const auto answer = b.get("/api/trigger/" + targetAndId);
        if (!answer)
            return "no answer";
        return answer->status == 200 ? answer->body : std::to_string(answer->status) + " " + answer->body;
    }
    std::string assetFile(const std::string& songId) {
        std::scoped_lock lock(docs.mutex);
        return (assetDir() / db().songs.get(songId).filename).string();
    }
    std::string userFile(const std::string& songId, std::string content = "sound",
                         AudioAssetCategory category = AudioAssetCategory::USER_SIGNAL) {
        std::scoped_lock lock(docs.mutex);
        const std::string name = songId + ".mp3";
        std::ofstream(dataDir() / name) << content;
        db().songs.add(AudioAsset{"Song " + songId, md5Hex(content), name, 1, category}, songId);
        return (dataDir() / name).string();
    }
};

TEST_F(TargetApi, UnknownTargetsAreRefusedByName) {
    EXPECT_EQ(b.get("/api/get/Status")->body, "Unknown target: Status");
    EXPECT_EQ(b.get("/api/get/Status")->status, 400);
    EXPECT_EQ(trigger("explode/1"), "400 Unknown target: explode");
    EXPECT_EQ(trigger("toggleAlarm2/1"), "400 Unknown target: toggleAlarm2");
    EXPECT_TRUE(log.contains(spdlog::level::debug, "GET'Status' with args: {}"));
    EXPECT_TRUE(log.contains(spdlog::level::debug, "TRIGGER 'explode' with id 1"));
    b.get("/api/get/calendarDays?offset=-1&x=y");
    EXPECT_TRUE(log.contains(spdlog::level::debug, R"(GET'calendarDays' with args: {"offset": "-1", "x": "y"})"));
}

TEST_F(TargetApi, StatusAndInfo) {
    Json status = get("status");
    EXPECT_EQ(keysOf(status), (Strings{"time", "isPlaying", "version"}));
    EXPECT_EQ(status["time"], "10:00:00");
    EXPECT_EQ(status["isPlaying"], false);
    EXPECT_EQ(status["version"], getVersion());

    recorder->setPlayTime(assetFile("ID_ping"), 5s);
    EXPECT_EQ(trigger("playSignal/ID_ping"), "ok");
    EXPECT_EQ(get("status")["isPlaying"], true);
    EXPECT_EQ(get("playing"), Json::parse(R"({"isPlaying": true, "alarmActive": false})"));
    EXPECT_EQ(trigger("toggleAlarm/0"), "ok");
    EXPECT_EQ(get("playing"), Json::parse(R"({"isPlaying": true, "alarmActive": true})"));
    EXPECT_EQ(trigger("stopAll/0"), "ok");
    EXPECT_EQ(get("playing"), Json::parse(R"({"isPlaying": false, "alarmActive": false})"));
    time.advance(61);
    clock.updateClock();
    EXPECT_EQ(get("status")["time"], "10:01:01");

    Json info = get("info");
    EXPECT_EQ(keysOf(info), (Strings{"version", "internetAccess"}));
    EXPECT_EQ(info["internetAccess"], false) << "nothing asked of the service yet";
    service.offer("a1", "bytes");
    EXPECT_EQ(trigger("announceProgrammed/a1"), "ok");
    EXPECT_EQ(get("info")["internetAccess"], true);
    service.shutDown();
    EXPECT_EQ(trigger("announceProgrammed/a1"), "400 Failed to download announcement");
    EXPECT_EQ(get("info")["internetAccess"], false);
}

TEST_F(TargetApi, Overview) {
    Json overview = get("overview");
    EXPECT_EQ(keysOf(overview), (Strings{"passwordMissing", "timetables", "activeTimetableInfo", "time", "isRelease",
                                         "alarmActive", "calendar"}));
    EXPECT_EQ(overview["passwordMissing"], true);
    EXPECT_EQ(overview["timetables"], Json::parse(R"([{"name": "Default", "id": "ID_factory_default_timetable"}])"));
    EXPECT_EQ(overview["activeTimetableInfo"].dump(),
              R"({"id":"ID_factory_default_timetable","source":"NORMAL","date":"2024-09-02","dayOfWeek":0,)"
              R"("typeOfDay":"WORKDAY","programmeToday":null})");
    EXPECT_EQ(overview["time"], "10:00:00");
    EXPECT_EQ(overview["isRelease"], false);
    EXPECT_EQ(overview["alarmActive"], false);
    EXPECT_EQ(overview["calendar"]["year"], 2024);
    EXPECT_EQ(overview["calendar"]["month"], 9);
    EXPECT_EQ(overview["calendar"]["days"].size(), 42u) << "26 August to 6 October";

    ASSERT_EQ(b.post("/db/settings/update", R"({"schedulerEnable": false})")->status, 200);
    setPassword(b, "pw");
    overview = get("overview");
    EXPECT_EQ(overview["passwordMissing"], false);
    EXPECT_EQ(overview["activeTimetableInfo"]["source"], "DISABLED");
    EXPECT_EQ(overview["activeTimetableInfo"]["id"], "NULL");
}

// The overview's text is reused while nothing it shows can have changed; every change shows in
// the next answer, whoever made it.
TEST_F(TargetApi, TheOverviewFollowsEveryChange) {
    EXPECT_EQ(get("overview"), get("overview"));
    ASSERT_EQ(b.post("/db/timetables/create", R"({"name": "Exam day"})")->status, 200);
    EXPECT_EQ(get("overview")["timetables"].size(), 2u);
    {
        std::scoped_lock lock(docs.mutex);
        db().timetables.get("ID_factory_default_timetable").name = "Renamed";
    }
    EXPECT_EQ(get("overview")["timetables"][0]["name"], "Renamed");
    time.advance(1);
    clock.updateClock();
    EXPECT_EQ(get("overview")["time"], "10:00:01");
    {
        std::scoped_lock lock(docs.mutex);
        CalendarRegion region;
        region.holidays = {"2024-09-02"};
        docs.cache.edit().calendarRegions.add(region, "hu");
    }
    EXPECT_EQ(get("overview")["activeTimetableInfo"]["typeOfDay"], "HOLIDAY");
}

TEST_F(TargetApi, Signals) {
    userFile("mine");
    userFile("speech", "words", AudioAssetCategory::PROGRAMME);
    const Json signals = get("signals");
    ASSERT_EQ(signals.size(), 13u) << "twelve built-in signals and one of the user's";
    EXPECT_EQ(signals[12]["id"], "mine");
    EXPECT_EQ(keysOf(signals[12]),
              (Strings{"name", "md5", "filename", "lengthSec", "storageCategory", "lastModified", "id"}));
    EXPECT_EQ(signals[0]["storageCategory"], 0);
    for (const Json& row : signals)
        EXPECT_NE(row["id"], "speech");
}

TEST_F(TargetApi, ProgrammeInfo) {
    userFile("speech", "words", AudioAssetCategory::PROGRAMME);
    {
        std::scoped_lock lock(docs.mutex);
        db().programmes.add(Programme{"speech", Date{2024, 9, 3}, TimeOfDay{8, 30, 0}}, "p1");
    }
    Json info = get("programmeInfo");
    EXPECT_EQ(keysOf(info), (Strings{"programmes", "date"}));
    EXPECT_EQ(info["date"], "2024-09-02");
    ASSERT_EQ(info["programmes"].size(), 1u);
    EXPECT_EQ(info["programmes"][0].dump(), R"({"songId":"speech","date":"2024-09-03","time":"08:30",)"
                                            R"("deleteAfterPlay":true,"id":"p1","programName":"Song speech",)"
                                            R"("lengthSec":1})");
    {
        std::scoped_lock lock(docs.mutex);
        db().songs.remove("speech");
    }
    EXPECT_EQ(b.get("/api/get/programmeInfo")->status, 400) << "a programme whose song is gone";
}

TEST_F(TargetApi, SettingsInTheirAttributeForm) {
    EXPECT_EQ(trigger("addSingleEvent/x?timetableId=NULL&startDate=2024-12-23&endDate=2025-01-03"), "ok");
    EXPECT_EQ(trigger("addReoccurringEvent/x?timetableId=NULL&mode=2&days=5"), "ok");
    const Json settings = get("settings");
    EXPECT_EQ(keysOf(settings), (Strings{"defaultTimetableId", "schedulerEnable", "dailyPreferences", "alarmSignalId",
                                         "alarmDelaySec", "announcementSignalId", "calendar", "language"}));
    // The day of the fake date (2024-09-02), whose reset start-up takes.
    EXPECT_EQ(settings["dailyPreferences"].dump(), R"({"selectedTimetableId":null,"_lastDay":246})");
    EXPECT_EQ(settings["calendar"]["workdayMode"], 15);
    EXPECT_EQ(settings["calendar"]["singleEvents"].dump(),
              R"([{"timeTableId":"NULL","start":{"y":2024,"m":12,"d":23},"end":{"y":2025,"m":1,"d":3}}])");
    EXPECT_EQ(settings["calendar"]["reoccurringEvents"].dump(), R"([{"timeTableId":"NULL","mode":2,"days":5}])");
}

TEST_F(TargetApi, CalendarInfoAndDays) {
    {
        std::scoped_lock lock(docs.mutex);
        docs.cache.edit().calendarRegions.add(CalendarRegion{"Hungary"}, "hu");
        docs.cache.edit().calendarLastUpdated = "2024-08-30";
    }
    EXPECT_EQ(trigger("addSingleEvent/x?timetableId=NULL&startDate=2024-12-23&endDate=2025-01-03"), "ok");
    const Json info = get("calendarInfo");
    EXPECT_EQ(keysOf(info), (Strings{"timetables", "regions", "lastUpdate", "date", "singleEvents", "reoccurringEvents",
                                     "defaultTimetableId"}));
    EXPECT_EQ(info["timetables"][0]["id"], "ID_factory_default_timetable");
    EXPECT_EQ(info["regions"][0]["id"], "hu");
    EXPECT_EQ(info["regions"][0]["name"], "Hungary");
    EXPECT_EQ(info["lastUpdate"], "2024-08-30");
    EXPECT_EQ(info["date"], "2024-09-02");
    EXPECT_EQ(info["singleEvents"].dump(), R"([{"timeTableId":"NULL","start":"2024-12-23","end":"2025-01-03"}])");
    EXPECT_EQ(info["reoccurringEvents"], Json::array());
    EXPECT_EQ(info["defaultTimetableId"], "ID_factory_default_timetable");

    const Json previous = get("calendarDays?offset=-1");
    EXPECT_EQ(previous["year"], 2024);
    EXPECT_EQ(previous["month"], 8);
    const Json nextYear = get("calendarDays?offset=12");
    EXPECT_EQ(nextYear["year"], 2025);
    EXPECT_EQ(nextYear["month"], 9);
    EXPECT_EQ(get("calendarDays?offset=0")["days"][0]["isToday"], false);
    for (const char* bad : {"calendarDays", "calendarDays?offset=", "calendarDays?offset=soon",
                            "calendarDays?offset=1.5", "calendarDays?offset=99999999"}) {
        const auto answer = b.get(std::string("/api/get/") + bad);
        EXPECT_EQ(answer->status, 400) << bad << ": " << answer->body;
    }
}

TEST_F(TargetApi, DeletingSignalsAndProgrammes) {
    const std::string mine = userFile("mine");
    EXPECT_EQ(trigger("deleteSignal/mine"), "ok");
    EXPECT_FALSE(db().songs.contains("mine"));
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_EQ(trigger("deleteSignal/mine").substr(0, 4), "400 ");

    const std::string ping = assetFile("ID_ping");
    EXPECT_EQ(trigger("deleteSignal/ID_ping"), "ok");
    EXPECT_FALSE(db().songs.contains("ID_ping"));
    EXPECT_TRUE(fs::exists(ping)) << "a built-in signal's file ships with the system";

    const std::string speech = userFile("speech", "words", AudioAssetCategory::PROGRAMME);
    {
        std::scoped_lock lock(docs.mutex);
        db().programmes.add(Programme{"speech", Date{2024, 9, 3}, TimeOfDay{8, 30, 0}}, "p1");
        db().programmes.add(Programme{"gone", Date{2024, 9, 3}, TimeOfDay{9, 0, 0}}, "p2");
    }
    EXPECT_EQ(trigger("deleteProgramme/p1"), "ok");
    EXPECT_FALSE(db().programmes.contains("p1"));
    EXPECT_FALSE(db().songs.contains("speech"));
    EXPECT_FALSE(fs::exists(speech));
    // Failing part-way keeps what was done: the programme is gone although its song was missing.
    EXPECT_EQ(trigger("deleteProgramme/p2").substr(0, 4), "400 ");
    EXPECT_FALSE(db().programmes.contains("p2"));
    EXPECT_EQ(trigger("deleteProgramme/p2").substr(0, 4), "400 ");
}

TEST_F(TargetApi, CalendarEventsGoToTheFrontAndArePickedByPosition) {
    for (const char* day : {"01", "02", "03"})
        EXPECT_EQ(
            trigger(std::string("addSingleEvent/_?timetableId=T&startDate=2024-10-") + day + "&endDate=2024-10-" + day),
            "ok");
    auto starts = [this] {
        Strings out;
        std::scoped_lock lock(docs.mutex);
        for (const auto& e : db().settings.calendar.singleEvents)
            out.push_back(e.start.asString());
        return out;
    };
    EXPECT_EQ(starts(), (Strings{"2024-10-03", "2024-10-02", "2024-10-01"}));
    EXPECT_EQ(trigger("deleteSingleEvent/0"), "ok") << "the most recently added";
    EXPECT_EQ(starts(), (Strings{"2024-10-02", "2024-10-01"}));
    EXPECT_EQ(trigger("deleteSingleEvent/-1"), "ok");
    EXPECT_EQ(starts(), Strings{"2024-10-02"});
    for (const char* bad : {"deleteSingleEvent/1", "deleteSingleEvent/-2", "deleteSingleEvent/first"})
        EXPECT_EQ(trigger(bad).substr(0, 4), "400 ") << bad;
    EXPECT_EQ(starts(), Strings{"2024-10-02"});
    for (const char* bad : {"addSingleEvent/_?timetableId=T&startDate=2024-10-01",
                            "addSingleEvent/_?timetableId=T&startDate=2024-13-01&endDate=2024-10-01",
                            "addSingleEvent/_?timetableId=%FF&startDate=2024-10-01&endDate=2024-10-01",
                            "addSingleEvent/_?timetableId=T&startDate=2024-10-01&endDate=2024-10-01&name=%FF"})
        EXPECT_EQ(trigger(bad).substr(0, 4), "400 ") << bad;
    EXPECT_EQ(trigger("addSingleEvent/_?timetableId=T&startDate=2024-10-01&endDate=2024-10-01&name=" +
                      std::string(201, 'x')),
              "400 The name of a calendar event is at most 200 bytes long");
    EXPECT_EQ(starts(), Strings{"2024-10-02"});
    EXPECT_EQ(trigger("addSingleEvent/_?timetableId=T&startDate=2024-10-05&endDate=2024-10-05&name=Sports%20day"),
              "ok");
    EXPECT_EQ(trigger("addReoccurringEvent/_?timetableId=A&mode=1&days=1&name=Choir%20Mondays"), "ok");
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(db().settings.calendar.singleEvents.at(0).name, "Sports day");
        EXPECT_EQ(db().settings.calendar.singleEvents.at(1).name, "") << "an event needs no name";
        EXPECT_EQ(db().settings.calendar.reoccurringEvents.at(0).name, "Choir Mondays");
    }
    EXPECT_EQ(trigger("deleteSingleEvent/0"), "ok");
    EXPECT_EQ(trigger("deleteReoccurringEvent/0"), "ok");

    EXPECT_EQ(trigger("addReoccurringEvent/_?timetableId=A&mode=1&days=31"), "ok");
    EXPECT_EQ(trigger("addReoccurringEvent/_?timetableId=B&mode=3&days=64"), "ok");
    for (const char* bad :
         {"addReoccurringEvent/_?timetableId=C&mode=4&days=1", "addReoccurringEvent/_?timetableId=C&mode=odd&days=1",
          "addReoccurringEvent/_?timetableId=C&mode=1"})
        EXPECT_EQ(trigger(bad).substr(0, 4), "400 ") << bad;
    {
        std::scoped_lock lock(docs.mutex);
        const auto& events = db().settings.calendar.reoccurringEvents;
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].timeTableId, "B");
        EXPECT_EQ(events[0].mode, ReoccurringCalendarEvent::Mode::ODD_WEEK);
        EXPECT_EQ(events[0].days, 64);
    }
    EXPECT_EQ(trigger("deleteReoccurringEvent/1"), "ok");
    EXPECT_EQ(db().settings.calendar.reoccurringEvents.at(0).timeTableId, "B");
    EXPECT_EQ(trigger("deleteReoccurringEvent/1").substr(0, 4), "400 ");
}

// The loudspeaker test is a sound of its own, played and logged like a signal played by hand.
TEST_F(TargetApi, TheLoudspeakerTestPlaysItsQuietSoundAndIsLoggedAsPlayedByHand) {
    EXPECT_EQ(trigger("testLoudspeakers/0"), "ok");
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_EQ(recorder->started(), Strings{(assetDir() / "loudspeaker-test.mp3").string()});
    ASSERT_TRUE(eventually([&] { return playLog.read("2024-09-02").size() == 1; }));
    const PlayLogEntry entry = playLog.read("2024-09-02").at(0);
    EXPECT_EQ(entry.source, PlaySource::MANUAL);
    EXPECT_EQ(entry.songName, "Loudspeaker test");
    std::scoped_lock lock(docs.mutex);
    EXPECT_FALSE(db().songs.contains("loudspeakerTest")) << "no signal to delete or to choose as a bell";
}

TEST_F(TargetApi, PlayingSignalsAndDeletingTimetables) {
    EXPECT_EQ(trigger("playSignal/ID_ping"), "ok");
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_EQ(recorder->started(), Strings{assetFile("ID_ping")});
    EXPECT_EQ(trigger("playSignal/NULL"), "ok");
    EXPECT_EQ(trigger("playSignal/nothing").substr(0, 4), "400 ");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder->started().size(), 1u);

    EXPECT_EQ(trigger("deleteTimetable/ID_factory_default_timetable"), "ok");
    EXPECT_TRUE(db().timetables.empty());
    EXPECT_EQ(trigger("deleteTimetable/ID_factory_default_timetable").substr(0, 4), "400 ");
}

// Each announcement has a file of its own, so a second one cannot replace the first while it plays;
// the file goes once its play has ended.
TEST_F(TargetApi, AnnouncementsPlayAfterTheAnnouncementSignal) {
    service.offer("a1", "ID3 spoken words");
    recorder->setPlayTime(30s);
    recorder->setPlayTime(assetFile("ID_intercom"), 50ms);
    EXPECT_EQ(trigger("announce/a1"), "ok");
    EXPECT_EQ(trigger("announce/a1"), "ok");
    ASSERT_TRUE(recorder->waitForStarts(4));
    Strings files;
    for (const std::string& path : recorder->started())
        if (path != assetFile("ID_intercom"))
            files.push_back(path);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0], files[1]);
    for (const std::string& path : files) {
        EXPECT_EQ(fs::path(path).parent_path(), dataDir());
        EXPECT_TRUE(fs::path(path).filename().string().starts_with("announcement-")) << path;
        EXPECT_EQ(readWholeFile(path), "ID3 spoken words");
    }
    EXPECT_EQ(trigger("stopAll/0"), "ok");
    ASSERT_TRUE(player.waitUntilAllEnded(5s));
    EXPECT_TRUE(fs::is_empty(dataDir())) << "played announcements leave no file";

    EXPECT_EQ(trigger("announce/unknown"), "400 Failed to download announcement");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder->started().size(), 4u) << "nothing more played";
    EXPECT_TRUE(fs::is_empty(dataDir()));
}

TEST_F(TargetApi, ProgrammedAnnouncementsAreDownloadedThenScheduled) {
    std::string mp3 = readWholeFile(assetFile("ID_ping")).value();
    service.offer("news-1", mp3);
    EXPECT_EQ(trigger("announceProgrammed/news-1"), "ok");
    const fs::path file = dataDir() / "news-1.mp3";
    EXPECT_EQ(readWholeFile(file), mp3);
    EXPECT_TRUE(recorder->started().empty());

    // A wrong date refuses the request without storing anything, so it can be sent again.
    EXPECT_EQ(trigger("scheduleProgrammedAnnouncement/news-1?programName=News&date=2024-09-31&time=10:30").substr(0, 4),
              "400 ");
    EXPECT_FALSE(db().songs.contains("news-1"));
    EXPECT_FALSE(db().programmes.contains("news-1"));
    EXPECT_EQ(trigger("scheduleProgrammedAnnouncement/news-1?programName=News&date=2024-09-03&time=10:30"), "ok");
    {
        std::scoped_lock lock(docs.mutex);
        const AudioAsset& song = db().songs.get("news-1");
        EXPECT_EQ(song.name, "News");
        EXPECT_EQ(song.filename, "news-1.mp3");
        EXPECT_EQ(song.md5, md5Hex(mp3));
        EXPECT_EQ(song.lengthSec, getAudioLength(file.string()));
        EXPECT_EQ(song.storageCategory, AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT);
        const Programme& programme = db().programmes.get("news-1");
        EXPECT_EQ(programme.songId, "news-1");
        EXPECT_EQ(programme.date, (Date{2024, 9, 3}));
        EXPECT_EQ(programme.time, (TimeOfDay{10, 30, 0}));
    }
    EXPECT_EQ(trigger("scheduleProgrammedAnnouncement/news-1?programName=News&date=2024-09-03&time=10:30"),
              "400 Key already exists");
    EXPECT_EQ(trigger("scheduleProgrammedAnnouncement/never?programName=N&date=2024-09-03&time=10:30").substr(0, 4),
              "400 ")
        << "no downloaded file";
    EXPECT_EQ(trigger("scheduleProgrammedAnnouncement/x?date=2024-09-03&time=10:30"),
              "400 Missing query parameter: programName");
}

TEST_F(TargetApi, IdsThatBecomeFileNamesAreLettersDigitsDashesAndUnderscores) {
    service.offer("..", "evil");
    service.offer("a.b", "evil");
    for (const char* id : {"%2e%2e", "a.b", "a%5cb", "a%20b", "%C3%A9"}) {
        EXPECT_EQ(trigger(std::string("announceProgrammed/") + id).substr(0, 4), "400 ") << id;
        EXPECT_EQ(
            trigger(std::string("scheduleProgrammedAnnouncement/") + id + "?programName=N&date=2024-09-03&time=10:30")
                .substr(0, 4),
            "400 ")
            << id;
    }
    EXPECT_EQ(service.requests(), 0) << "refused before any download";
    EXPECT_TRUE(fs::is_empty(dataDir()));
    EXPECT_EQ(db().programmes.size(), 0u);
}

TEST_F(TargetApi, TheAlarmTogglesOnAndOff) {
    recorder->setPlayTime(200ms);
    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    EXPECT_TRUE(get("overview")["alarmActive"]);
    ASSERT_TRUE(recorder->waitForStarts(1));
    EXPECT_EQ(recorder->started().front(), assetFile("ID_alarm"));
    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    EXPECT_FALSE(get("overview")["alarmActive"]);
    // An alarm signal that names no song refuses the toggle and leaves the alarm off.
    ASSERT_EQ(b.post("/db/settings/update", R"({"alarmSignalId": "nothing"})")->status, 200);
    EXPECT_EQ(trigger("toggleAlarm/x").substr(0, 4), "400 ");
    EXPECT_FALSE(get("overview")["alarmActive"]);
}

// An alarm whose signal cannot be started (a busy sound device) ends by itself; it must not show
// as sounding.
TEST_F(TargetApi, AnAlarmThatEndedByItselfShowsAsOff) {
    recorder->fail(PlayRecorder::Operation::START, assetFile("ID_alarm"), "the device is busy");
    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    ASSERT_TRUE(player.waitUntilAllEnded(5s));
    EXPECT_FALSE(get("overview")["alarmActive"]);
}

// At the player's bound a play from the interface is refused with 429 and the reason; the alarm
// still sounds.
TEST_F(TargetApi, PlaysFromTheInterfaceBeyondTheBoundAre429AndTheAlarmIsNot) {
    recorder->setPlayTime(30s);
    service.offer("a1", "spoken words");
    std::map<std::string, std::size_t> answers;
    for (std::size_t i = 0; i < MAX_PLAYS_IN_PROGRESS + 10; ++i)
        ++answers[trigger("playSignal/ID_ping")];
    ++answers[trigger("announce/a1")];
    const std::string refused = std::string("429 ") + TOO_MANY_PLAYS_REASON;
    EXPECT_EQ(answers, (std::map<std::string, std::size_t>{{"ok", MAX_PLAYS_IN_PROGRESS}, {refused, 11}}));
    EXPECT_TRUE(fs::is_empty(dataDir())) << "a refused announcement leaves no file";

    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    EXPECT_TRUE(get("overview")["alarmActive"]);
    EXPECT_TRUE(recorder->waitUntil([alarm = assetFile("ID_alarm")](const std::vector<PlayEvent>& events) {
        return std::ranges::any_of(events, [&](const PlayEvent& e) { return e.path == alarm; });
    }));
}

TEST_F(TargetApi, StopAllEndsEveryPlayAndSwitchesTheAlarmOff) {
    EXPECT_EQ(trigger("stopAll/0"), "ok") << "nothing playing is no error";
    recorder->setPlayTime(30s);
    EXPECT_EQ(trigger("playSignal/ID_ping"), "ok");
    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    ASSERT_TRUE(recorder->waitForStarts(2));
    EXPECT_EQ(get("status")["isPlaying"], true);

    EXPECT_EQ(trigger("stopAll/0"), "ok");
    EXPECT_EQ(get("status")["isPlaying"], false);
    EXPECT_FALSE(get("overview")["alarmActive"]);
    // The next toggle sounds the alarm again instead of switching off a silent one.
    EXPECT_EQ(trigger("toggleAlarm/x"), "ok");
    EXPECT_TRUE(get("overview")["alarmActive"]);
    ASSERT_TRUE(recorder->waitForStarts(3));
}

} // namespace
