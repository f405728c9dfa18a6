// The database endpoints: the whole database, uploads, song files, timetables and settings.
#include <regex>

#include "model/json_text.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "support/wave_file.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

struct DatabaseEndpoints : WebTest {
    Browser b = browser();

    std::size_t userFiles() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dataDir()))
            ++n;
        return n;
    }
    std::string silentWave(double seconds) {
        const fs::path scratch = dataDir().parent_path() / ("wave-" + std::to_string(seconds) + ".wav");
        writeSilentWave(scratch, seconds);
        std::string bytes = readWholeFile(scratch).value();
        fs::remove(scratch);
        return bytes;
    }
};

const std::regex UUID4("\"[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\"");

TEST_F(DatabaseEndpoints, TheWholeDatabase) {
    const auto answer = b.get("/db");
    ASSERT_EQ(answer->status, 200);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
    const Json body = jsonOf(answer);
    EXPECT_EQ(keysOf(body), (Strings{"dbVersion", "settings", "songs", "programmes", "timetables"}));
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(answer->body, to_json(db()));
    }
    // Every change shows in the next answer, whoever made it.
    ASSERT_EQ(b.post("/db/settings/update", R"({"alarmDelaySec": 4.5})")->status, 200);
    const auto afterApi = b.get("/db");
    EXPECT_NE(afterApi->body.find("\"alarmDelaySec\": 4.5"), std::string::npos);
    {
        std::scoped_lock lock(docs.mutex);
        db().songs.get("ID_ping").name = "Renamed ping";
    }
    const auto afterDirect = b.get("/db");
    std::scoped_lock lock(docs.mutex);
    EXPECT_EQ(afterDirect->body, to_json(db()));
    EXPECT_NE(afterDirect->body.find("Renamed ping"), std::string::npos);
}

TEST_F(DatabaseEndpoints, AUserSignalIsStoredUnderANewKey) {
    const std::string wave = silentWave(2.0);
    const auto answer = b.upload({{"file", wave, "Gong.WAV", "audio/wav"}});
    ASSERT_EQ(answer->status, 200) << answer->body;
    ASSERT_TRUE(std::regex_match(answer->body, UUID4)) << answer->body;
    const std::string key = jsonOf(answer).get<std::string>();
    {
        std::scoped_lock lock(docs.mutex);
        const AudioAsset& song = db().songs.get(key);
        EXPECT_EQ(song.name, "Gong");
        EXPECT_EQ(song.filename, key + ".wav");
        EXPECT_EQ(song.md5, md5Hex(wave));
        EXPECT_EQ(song.lengthSec, 2);
        EXPECT_EQ(song.storageCategory, AudioAssetCategory::USER_SIGNAL);
        EXPECT_EQ(db().songs.begin()[static_cast<long>(db().songs.size() - 1)].first, key) << "added at the end";
    }
    EXPECT_EQ(readWholeFile(dataDir() / (key + ".wav")), wave);

    // The same content again, under any name, is refused and nothing is stored.
    EXPECT_EQ(outcome(b.upload({{"file", wave, "other.mp3", "audio/mpeg"}})), "400 File is already uploaded");
    EXPECT_EQ(outcome(b.upload({{"file", wave, "x.wav", "audio/wav"}, {"programName", "", "", ""}})),
              "400 File is already uploaded")
        << "an empty programName is a signal upload";
    EXPECT_EQ(userFiles(), 1u);
    EXPECT_EQ(db().songs.size(), 13u);
}

// The upload may name the signal; a blank name leaves the file's, and a name too long is refused.
TEST_F(DatabaseEndpoints, AnUploadedSignalTakesTheNameGivenWithIt) {
    const struct {
        const char* given;
        const char* stored; // nullptr: refused
    } cases[] = {
        {"  Morning gong  ", "Morning gong"},
        {" ", "file"},
        {"\xff", nullptr},
    };
    double seconds = 1.0;
    for (const auto& c : cases) {
        const auto answer = b.upload({{"file", silentWave(seconds += 0.5), "file.wav", "audio/wav"},
                                      {"signalName", c.given, "", ""}});
        if (!c.stored) {
            EXPECT_EQ(answer->status, 400) << c.given;
            continue;
        }
        ASSERT_EQ(answer->status, 200) << answer->body;
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(db().songs.get(jsonOf(answer).get<std::string>()).name, c.stored) << c.given;
    }
    EXPECT_EQ(outcome(b.upload({{"file", silentWave(4.0), "file.wav", "audio/wav"},
                                {"signalName", std::string(201, 'x'), "", ""}})),
              "400 The name of a signal is at most 200 bytes long");
}

TEST_F(DatabaseEndpoints, TheContentOfABuiltInSignalCannotBeUploadedAsASignal) {
    std::string ping;
    {
        std::scoped_lock lock(docs.mutex);
        ping = readWholeFile(assetDir() / db().songs.get("ID_ping").filename).value();
    }
    EXPECT_EQ(outcome(b.upload({{"file", ping, "myping.mp3", "audio/mpeg"}})), "400 File is already uploaded");
    EXPECT_EQ(userFiles(), 0u);
}

TEST_F(DatabaseEndpoints, ProgrammeSongsMayRepeatAndAnswerTheProgrammesKey) {
    const std::string wave = silentWave(1.0);
    const httplib::MultipartFormDataItems form{{"file", wave, "speech.wav", "audio/wav"},
                                               {"programName", "Morning speech", "", ""},
                                               {"date", "2024-09-03", "", ""},
                                               {"time", "08:15:30", "", ""}};
    Strings keys;
    for (int i = 0; i < 2; ++i) {
        const auto answer = b.upload(form);
        ASSERT_EQ(answer->status, 200) << answer->body;
        ASSERT_TRUE(std::regex_match(answer->body, UUID4)) << answer->body;
        keys.push_back(jsonOf(answer).get<std::string>());
    }
    EXPECT_NE(keys[0], keys[1]);
    std::scoped_lock lock(docs.mutex);
    ASSERT_EQ(db().programmes.size(), 2u);
    Strings songIds;
    for (const std::string& key : keys) {
        const Programme& programme = db().programmes.get(key);
        EXPECT_FALSE(db().songs.contains(key)) << "the answer is the programme's key, not the song's";
        EXPECT_EQ(programme.date, (Date{2024, 9, 3}));
        EXPECT_EQ(programme.time, (TimeOfDay{8, 15, 30}));
        const AudioAsset& song = db().songs.get(programme.songId);
        EXPECT_EQ(song.name, "Morning speech");
        EXPECT_EQ(song.storageCategory, AudioAssetCategory::PROGRAMME);
        EXPECT_EQ(song.filename, programme.songId + ".wav");
        EXPECT_EQ(song.lengthSec, 1);
        EXPECT_TRUE(fs::exists(dataDir() / song.filename));
        songIds.push_back(programme.songId);
    }
    EXPECT_NE(songIds[0], songIds[1]);
    EXPECT_EQ(userFiles(), 2u);
}

TEST_F(DatabaseEndpoints, RefusedUploadsStoreNothing) {
    const std::string wave = silentWave(0.5);
    auto programme = [&](const char* date, const char* time) {
        httplib::MultipartFormDataItems form{{"file", wave, "s.wav", "audio/wav"}, {"programName", "P", "", ""}};
        if (date)
            form.push_back({"date", date, "", ""});
        if (time)
            form.push_back({"time", time, "", ""});
        return outcome(b.upload(form));
    };
    EXPECT_EQ(programme(nullptr, "10:00"), "400 Missing programme date");
    EXPECT_EQ(programme("2024-09-03", nullptr), "400 Missing programme time");
    EXPECT_TRUE(programme("2024-13-03", "10:00").starts_with("400 Invalid programme date '2024-13-03'"));
    EXPECT_TRUE(programme("tomorrow", "10:00").starts_with("400 Invalid programme date 'tomorrow'"));
    EXPECT_TRUE(programme("2024-09-03", "10:61").starts_with("400 Invalid programme time '10:61'"));
    EXPECT_TRUE(programme("2024-09-03", "ten").starts_with("400 Invalid programme time 'ten'"));

    EXPECT_EQ(outcome(b.upload({{"file", wave, "noise.ogg", "audio/ogg"}})), "400 Bad format: ogg");
    EXPECT_EQ(outcome(b.upload({{"file", wave, "NOISE.OGG", "audio/ogg"}})), "400 Bad format: ogg");
    EXPECT_EQ(outcome(b.upload({{"file", wave, "noext", "audio/wav"}})), "400 Bad format: ");
    EXPECT_EQ(outcome(b.upload({{"other", wave, "a.wav", "audio/wav"}})), "400 No file part");
    EXPECT_EQ(outcome(b.post("/upload", "just text", "text/plain")), "400 No file part");
    EXPECT_EQ(outcome(b.upload({{"file", wave, "bad\xff.wav", "audio/wav"}})).substr(0, 4), "400 ");

    EXPECT_EQ(userFiles(), 0u);
    EXPECT_EQ(db().songs.size(), 12u);
    EXPECT_EQ(db().programmes.size(), 0u);
}

TEST_F(DatabaseEndpoints, FilesWithoutMeasurableSoundAreRefusedAndNotStored) {
    const std::string wave = silentWave(1.0);
    const std::string cutShort = wave.substr(0, 30);
    const httplib::MultipartFormDataItems programme{
        {"programName", "P", "", ""}, {"date", "2024-09-03", "", ""}, {"time", "08:15", "", ""}};
    const struct {
        std::string name;
        std::string content;
        bool asProgramme;
    } cases[] = {
        {"notes.mp3", "These are notes, not sound.", false},
        {"notes.wav", "These are notes, not sound.", false},
        {"header-only.wav", cutShort, false},
        {"video.mp4", wave, false},
        {"speech.mp3", "still not sound", true},
    };
    for (const auto& c : cases) {
        httplib::MultipartFormDataItems form{{"file", c.content, c.name, "application/octet-stream"}};
        if (c.asProgramme)
            form.insert(form.end(), programme.begin(), programme.end());
        EXPECT_EQ(outcome(b.upload(form)), "400 This file is not a playable MP3 or WAV") << c.name;
    }
    EXPECT_EQ(userFiles(), 0u);
    std::scoped_lock lock(docs.mutex);
    EXPECT_EQ(db().songs.size(), 12u);
    EXPECT_EQ(db().programmes.size(), 0u);
}

TEST_F(DatabaseEndpoints, SongFilesOfAnyKind) {
    const auto ping = b.get("/get_signal_file/ID_ping");
    ASSERT_EQ(ping->status, 200);
    EXPECT_EQ(ping->get_header_value("Content-Type"), "audio/mpeg");
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(ping->body, readWholeFile(assetDir() / db().songs.get("ID_ping").filename));
    }
    const std::string wave = silentWave(1.0);
    const auto uploaded = b.upload({{"file", wave, "speech.wav", "audio/wav"},
                                    {"programName", "P", "", ""},
                                    {"date", "2024-09-03", "", ""},
                                    {"time", "08:15", "", ""}});
    const std::string songId = db().programmes.get(jsonOf(uploaded).get<std::string>()).songId;
    const auto speech = b.get("/get_signal_file/" + songId);
    ASSERT_EQ(speech->status, 200);
    EXPECT_EQ(speech->get_header_value("Content-Type"), "audio/wav");
    EXPECT_EQ(speech->body, wave);

    EXPECT_EQ(b.get("/get_signal_file/nothing")->status, 404);
    fs::remove(dataDir() / (songId + ".wav"));
    EXPECT_EQ(b.get("/get_signal_file/" + songId)->status, 404);

    // A song that names one of the system's own files never gets it served.
    setPassword(b, "bell-tower");
    ASSERT_TRUE(saveDocumentsNow());
    {
        std::scoped_lock lock(docs.mutex);
        db().songs.add(AudioAsset{"Secret", "", "_shadow.json", 1, AudioAssetCategory::USER_SIGNAL}, "secret");
    }
    ASSERT_TRUE(fs::is_regular_file(dataDir() / "_shadow.json"));
    EXPECT_EQ(outcome(b.get("/get_signal_file/secret")), "404 The song secret has no sound file");
}

TEST_F(DatabaseEndpoints, TimetablesAreListedCreatedAndReplaced) {
    const Json list = jsonOf(b.get("/db/timetables"));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(keysOf(list[0]), (Strings{"name", "chA", "chB", "customPlays", "id"}));
    EXPECT_EQ(list[0]["id"], "ID_factory_default_timetable");

    const auto created =
        b.post("/db/timetables/create", R"({"name": "Short day", "chB": {"lessons": ["08:00 - 08:30"]}})");
    ASSERT_EQ(created->status, 200) << created->body;
    ASSERT_TRUE(std::regex_match(created->body, UUID4)) << created->body;
    const std::string key = jsonOf(created).get<std::string>();
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(db().timetables.get(key).name, "Short day");
        EXPECT_EQ(db().timetables.get(key).chB.lessons.size(), 1u);
        EXPECT_EQ(db().timetables.get(key).chA.lessons.size(), TimeTable().chA.lessons.size());
    }
    // The table form with its "id" goes back in as it came out; the key is the route's.
    Json row = jsonOf(b.get("/db/timetables"))[0];
    row["name"] = "Renamed";
    row["id"] = "something-else";
    EXPECT_EQ(outcome(b.post("/db/timetables/update/ID_factory_default_timetable", row.dump(), "text/plain")),
              "200 true");
    {
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(db().timetables.begin()->first, "ID_factory_default_timetable") << "replaced in its place";
        EXPECT_EQ(db().timetables.begin()->second.name, "Renamed");
        EXPECT_FALSE(db().timetables.contains("something-else"));
    }
    EXPECT_EQ(outcome(b.post("/db/timetables/update/" + key, "{}")), "200 true");
    EXPECT_EQ(db().timetables.get(key), TimeTable{}) << "an empty object is the default timetable";

    for (const char* bad : {"", "{", "[1]", "\"x\"", R"({"name": 5})", R"({"chA": {"lessons": ["25:00 - 26:00"]}})",
                            R"({"customPlays": [{"slots": ["7"]}]})", R"({"chA": {"preStartWaitMin": 1.5}})"}) {
        EXPECT_EQ(outcome(b.post("/db/timetables/create", bad)), "400 Invalid timetable") << bad;
        EXPECT_EQ(outcome(b.post("/db/timetables/update/" + key, bad)), "400 Invalid timetable") << bad;
    }
    EXPECT_EQ(outcome(b.post("/db/timetables/update/nothing", "{")), "400 ID not found");
    EXPECT_EQ(outcome(b.post("/db/timetables/update/nothing", "{}")), "400 ID not found");
    EXPECT_EQ(db().timetables.size(), 2u);
}

TEST_F(DatabaseEndpoints, SettingsChangeByDottedPathsInBodyOrder) {
    const auto answer = b.post("/db/settings/update", R"({"schedulerEnable": false, "alarmDelaySec": 2,
        "calendar.workdayMode": 16, "dailyPreferences.selectedTimetableId": "T1", "calendar.syncRegionId": "at",
        "alarmDelaySec": 3.5, "calendar.noSuchField": 1, "noSuchSetting": true, "language": "de"})");
    EXPECT_EQ(outcome(answer), "200 true");
    {
        std::scoped_lock lock(docs.mutex);
        const Settings& s = db().settings;
        EXPECT_FALSE(s.schedulerEnable);
        EXPECT_EQ(s.alarmDelaySec, 3.5) << "the later of two members wins";
        EXPECT_EQ(s.calendar.workdayMode, WorkdayMode::MON_TO_SAT);
        EXPECT_EQ(s.dailyPreferences.selectedTimetableId, "T1");
        EXPECT_EQ(s.calendar.syncRegionId, "at");
        EXPECT_EQ(s.language, "de");
        EXPECT_EQ(to_json(db()).find("noSuch"), std::string::npos) << "unknown last pieces leave no trace";
    }
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"dailyPreferences.selectedTimetableId": null})")), "200 true");
    EXPECT_EQ(db().settings.dailyPreferences.selectedTimetableId, std::nullopt);
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"calendar": {"workdayMode": 7}})")), "200 true");
    EXPECT_EQ(db().settings.calendar.workdayMode, WorkdayMode::EVERY_DAY);
    EXPECT_EQ(db().settings.calendar.syncRegionId, "hu") << "a whole record is replaced as a whole";

    // A name of 120 letters, accents counted once.
    const std::string name = "Széchenyi " + std::string(110, 'a');
    EXPECT_EQ(outcome(b.post("/db/settings/update", Json{{"schoolName", name}}.dump())), "200 true");
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"alertTargets": [{"kind": "ntfy",
        "url": "https://ntfy.example/bells", "events": ["bellFailed", "started"]}]})")), "200 true");
    EXPECT_EQ(db().settings.schoolName, name);
    ASSERT_EQ(db().settings.alertTargets.size(), 1u);
    EXPECT_EQ(db().settings.alertTargets[0].kind, AlertKind::NTFY);
    EXPECT_EQ(db().settings.alertTargets[0].events, (std::vector<std::string>{"bellFailed", "started"}));
}

TEST_F(DatabaseEndpoints, AnInvalidSettingRefusesTheWholeRequest) {
    const Settings before = db().settings;
    const std::vector<std::pair<const char*, const char*>> cases{
        {R"({"schedulerEnable": false, "calendar.workdayMode": "MON_TO_FRI"})", "calendar.workdayMode"},
        {R"({"schedulerEnable": false, "calendar.workdayMode": 3})", "calendar.workdayMode"},
        {R"({"schedulerEnable": "no"})", "schedulerEnable"},
        {R"({"schedulerEnable": false, "alarmDelaySec": "2"})", "alarmDelaySec"},
        {R"({"dailyPreferences._lastDay": 1.5})", "dailyPreferences._lastDay"},
        {R"({"defaultTimetableId": null})", "defaultTimetableId"},
        {R"({"alarmSignalId": 7})", "alarmSignalId"},
        {R"({"calendar.singleEvents": [{"start": "2024-02-30"}]})", "calendar.singleEvents"},
        {R"({"schedulerEnable": false, "calendar.nothing.deeper": 1})", "calendar.nothing.deeper"},
        {R"({"schedulerEnable.x": false})", "schedulerEnable.x"},
        {R"({"schedulerEnable": false, "language": "fr"})", "language"},
        {R"({"language": "HU"})", "language"},
        {R"({"language": 1})", "language"},
        {R"({"schoolName": "Line one\nline two"})", "schoolName"},
        {R"({"alertTargets": [{"kind": "mail", "url": "http://a"}]})", "alertTargets"},
        {R"({"alertTargets": [{"url": "ftp://x"}]})", "alertTargets.0.url"},
        {R"({"alertTargets": [{"url": "https://"}]})", "alertTargets.0.url"},
        {R"({"alertTargets": [{"url": "http://a b"}]})", "alertTargets.0.url"},
        {R"({"alertTargets": [{"url": "http://a"}, {"url": "http://b", "events": ["alarm", "noise"]}]})",
         "alertTargets.1.events"},
        {R"({"alertTargets": [{"url": "http://a", "events": ["alarm", "alarm"]}]})", "alertTargets.0.events"},
    };
    for (const auto& [body, member] : cases) {
        const auto answer = b.post("/db/settings/update", body);
        EXPECT_EQ(answer->status, 400) << body;
        EXPECT_NE(answer->body.find(std::string("\"") + member), std::string::npos) << body << " -> " << answer->body;
        std::scoped_lock lock(docs.mutex);
        EXPECT_EQ(db().settings, before) << body;
    }
    const std::string longName = R"({"schoolName": ")" + std::string(121, 'a') + R"("})";
    Json manyTargets = Json::array();
    for (int i = 0; i < 11; ++i)
        manyTargets.push_back(Json{{"url", "http://a/" + std::to_string(i)}});
    EXPECT_EQ(b.post("/db/settings/update", longName)->status, 400);
    EXPECT_EQ(b.post("/db/settings/update", Json{{"alertTargets", manyTargets}}.dump())->status, 400);
    for (const char* body : {"[]", "\"x\"", "{", "nonsense"})
        EXPECT_EQ(b.post("/db/settings/update", body)->status, 400) << body;
    EXPECT_EQ(db().settings, before);
}

// Repeat counts and pauses that reach the API stay within what a bell needs: 1 to 100 plays,
// pauses of 0 to 600 seconds.
TEST_F(DatabaseEndpoints, RepeatCountsAndPausesAreRangeChecked) {
    const std::string key = jsonOf(b.post("/db/timetables/create", "{}")).get<std::string>();
    const std::vector<std::pair<std::string, std::string>> refused{
        {R"({"chA": {"startOfClass": {"iterations": -1}}})",
         "chA.startOfClass.iterations must be from 1 to 100, not -1"},
        {R"({"chA": {"preEnd": {"iterations": 0}}})", "chA.preEnd.iterations must be from 1 to 100, not 0"},
        {R"({"chB": {"endOfClass": {"iterations": 101}}})", "chB.endOfClass.iterations must be from 1 to 100, not 101"},
        {R"({"chA": {"preStart": {"delaySec": -0.5}}})",
         "chA.preStart.delaySec must be from 0 to 600 seconds, not -0.5"},
        {R"({"customPlays": [{"desc": {}}, {"desc": {"delaySec": 600.5}}]})",
         "customPlays.1.desc.delaySec must be from 0 to 600 seconds, not 600.5"},
    };
    for (const auto& [body, reason] : refused) {
        EXPECT_EQ(outcome(b.post("/db/timetables/create", body)), "400 " + reason) << body;
        EXPECT_EQ(outcome(b.post("/db/timetables/update/" + key, body)), "400 " + reason) << body;
    }
    EXPECT_EQ(db().timetables.size(), 2u);
    EXPECT_EQ(db().timetables.get(key), TimeTable{});
    const char* limits = R"({"chA": {"startOfClass": {"doRepeat": true, "iterations": 100, "delaySec": 600},
        "endOfClass": {"iterations": 1, "delaySec": 0}}})";
    EXPECT_EQ(outcome(b.post("/db/timetables/update/" + key, limits)), "200 true");

    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"alarmDelaySec": 600.5})")),
              "400 alarmDelaySec must be from 0 to 600 seconds, not 600.5");
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"alarmDelaySec": -1})")),
              "400 alarmDelaySec must be from 0 to 600 seconds, not -1");
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"alarmDelaySec": 600})")), "200 true");
    {
        std::scoped_lock lock(docs.mutex);
        db().settings.alarmDelaySec = 3600; // stored before the limits existed
    }
    EXPECT_EQ(outcome(b.post("/db/settings/update", R"({"schedulerEnable": false})")), "200 true")
        << "an old value does not block other changes";
}

} // namespace
