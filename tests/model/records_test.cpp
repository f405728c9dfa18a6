#include <gtest/gtest.h>

#include "model/model.h"

using namespace tollwick;

namespace {

const char* const DEFAULT_PLAY = R"({"id": "NULL", "doRepeat": false, "iterations": 2, "delaySec": 1.0})";

std::string defaultChannel() {
    return std::string(R"({"lessons": ["08:00 - 08:45", "09:00 - 09:45", "10:00 - 10:45", "11:00 - 11:45", )"
                       R"("12:00 - 12:45", "13:00 - 13:45"], "startOfClass": )") +
           DEFAULT_PLAY + ", \"endOfClass\": " + DEFAULT_PLAY +
           ", \"preStartWaitMin\": 5, \"preStart\": " + DEFAULT_PLAY +
           ", \"preEndWaitMin\": 5, \"preEnd\": " + DEFAULT_PLAY + "}";
}

TEST(RecordText, DefaultTimeTableIsWrittenExactly) {
    const std::string expected = "{\"name\": \"Default\", \"chA\": " + defaultChannel() +
                                 ", \"chB\": " + defaultChannel() + ", \"customPlays\": []}";
    EXPECT_EQ(to_json(TimeTable{}), expected);
}

TEST(RecordText, DefaultSettingsAreWrittenExactly) {
    EXPECT_EQ(to_json(Settings{}),
              R"({"defaultTimetableId": "ID_factory_default_timetable", "schedulerEnable": true, )"
              R"("dailyPreferences": {"selectedTimetableId": null, "_lastDay": -1}, "alarmSignalId": "ID_alarm", )"
              R"("alarmDelaySec": 0.0, "announcementSignalId": "ID_intercom", "calendar": {"workdayMode": 15, )"
              R"("syncRegionId": "hu", "syncSchoolHolidays": true, "singleEvents": [], "reoccurringEvents": []}, )"
              R"("language": "en"})");
}

TEST(RecordText, SettingsWrittenBeforeTheLanguageSpeakEnglish) {
    EXPECT_EQ(from_json<Settings>(R"({"alarmDelaySec": 2.0})").language, "en");
    EXPECT_EQ(from_json<Settings>(R"({"language": "hu"})").language, "hu");
}

TEST(RecordText, OtherDefaultsAreWrittenExactly) {
    EXPECT_EQ(to_json(Programme{}),
              R"({"songId": "NULL", "date": "1900-01-01", "time": "00:00", "deleteAfterPlay": true})");
    EXPECT_EQ(to_json(CalendarRegion{}),
              R"({"name": "", "preferredWorkdayMode": 7, "provideHolidays": true, "validUntil": "", )"
              R"("holidays": [], "schoolBreaks": [], "extraWorkdays": []})");
    EXPECT_EQ(to_json(SingleCalendarEvent{}), R"({"timeTableId": "", "start": "1900-01-01", "end": "1900-01-01"})");
    EXPECT_EQ(to_json(ReoccurringCalendarEvent{}), R"({"timeTableId": "", "mode": 1, "days": 0})");
    EXPECT_EQ(to_json(UserPlay{}), std::string(R"({"desc": )") + DEFAULT_PLAY + R"(, "slots": []})");
}

TEST(RecordText, NewAudioAssetIsAUserSignalStampedNow) {
    const AudioAsset a;
    EXPECT_EQ(a.storageCategory, AudioAssetCategory::USER_SIGNAL);
    EXPECT_EQ(a.lengthSec, -1);
    EXPECT_TRUE(a.isSignal());
    EXPECT_LT(MyDateTime::now().date - a.lastModified.date, std::chrono::seconds(5));
    const Json j = to_dict(a);
    EXPECT_EQ(j["storageCategory"], 1);
    EXPECT_EQ((std::vector<std::string>{j.begin().key(), std::next(j.begin()).key()}),
              (std::vector<std::string>{"name", "md5"}));
}

TEST(RecordText, IsSignalOnlyForSignalCategories) {
    EXPECT_TRUE((AudioAsset{"", "", "", -1, AudioAssetCategory::BUILT_IN_SIGNAL}.isSignal()));
    EXPECT_FALSE((AudioAsset{"", "", "", -1, AudioAssetCategory::PROGRAMME}.isSignal()));
    EXPECT_FALSE((AudioAsset{"", "", "", -1, AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT}.isSignal()));
}

// A record with every kind of value set away from its default.
TimeTable busyTimeTable() {
    TimeTable tt;
    tt.name = "R\xC3\xB6vid nap"; // non-ASCII survives the round trip
    tt.chA.lessons = {Lesson::decode("7:30-8:15"), {TimeOfDay(8, 25, 30), TimeOfDay(9, 10)}};
    tt.chA.startOfClass = PlayDesc{"ID_melody", true, 3, 0.5};
    tt.chB.preEndWaitMin = 2;
    tt.customPlays.push_back(UserPlay{PlayDesc{"ID_ping"}, {TimeOfDay(10, 0), TimeOfDay(12, 30, 15)}});
    return tt;
}

Settings busySettings() {
    Settings s;
    s.schedulerEnable = false;
    s.dailyPreferences = {"tt-1", 245};
    s.alarmDelaySec = 2.5;
    s.calendar.workdayMode = WorkdayMode::SUN_TO_THU;
    s.calendar.singleEvents.push_back({"tt-2", Date(2024, 9, 2), Date(2024, 9, 6)});
    s.calendar.reoccurringEvents.push_back({"NULL", ReoccurringCalendarEvent::Mode::ODD_WEEK, 0b0010101});
    return s;
}

template <class T>
void expectRoundTrip(const T& value) {
    const std::string text = to_json(value);
    const T back = from_json<T>(text);
    EXPECT_TRUE(back == value) << text;
    EXPECT_EQ(to_json(back), text);
    EXPECT_EQ(fingerprintOf(back), fingerprintOf(value));
}

TEST(RecordRoundTrip, EveryRecordReadsBackEqual) {
    expectRoundTrip(TimeTable{});
    expectRoundTrip(busyTimeTable());
    expectRoundTrip(Settings{});
    expectRoundTrip(busySettings());
    expectRoundTrip(AudioAsset{"Bell", "0123456789abcdef0123456789abcdef", "bell.mp3", 12,
                               AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT, MyDateTime("2024-09-02T07:45:00.5")});
    expectRoundTrip(Programme{"song", Date(2026, 12, 8), TimeOfDay(9, 5, 7), false});
    expectRoundTrip(CalendarRegion{"Hungary",
                                   WorkdayMode::MON_TO_FRI,
                                   false,
                                   "2027-08-31",
                                   {"2026-12-25", "2026-12-26"},
                                   {"2026-12-21"},
                                   {"2026-12-12"}});
    expectRoundTrip(CalendarSettings{});
    expectRoundTrip(DailyPreferences{});
    expectRoundTrip(PlayDesc{"x", true, 7, 0.25});
}

TEST(RecordRoundTrip, EmptyObjectGivesDefaultsAndUnknownMembersAreIgnored) {
    EXPECT_TRUE(from_json<TimeTable>("{}") == TimeTable{});
    EXPECT_TRUE(from_json<Settings>(R"({"unknown": [1, 2], "schedulerEnable": false})") ==
                (Settings{.schedulerEnable = false}));
    const auto pd = from_json<PlayDesc>(R"({"delaySec": 3})");
    EXPECT_EQ(pd.delaySec, 3.0);
    EXPECT_EQ(to_json(pd), R"({"id": "NULL", "doRepeat": false, "iterations": 2, "delaySec": 3.0})");
    EXPECT_EQ(from_json<PlayDesc>(R"({"iterations": 4.0})").iterations, 4);
}

TEST(RecordRoundTrip, PositionalConstructionKeepsTrailingDefaults) {
    const Programme p{"song-1", Date(2024, 9, 2)};
    EXPECT_EQ(p.time, TimeOfDay());
    EXPECT_TRUE(p.deleteAfterPlay);
    const AudioAsset a{"name", "md5", "file.mp3", 3, AudioAssetCategory::BUILT_IN_SIGNAL};
    EXPECT_EQ(a.storageCategory, AudioAssetCategory::BUILT_IN_SIGNAL);
}

std::string decodeFailure(auto decode) {
    try {
        decode();
    } catch (const InvalidValueError& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(RecordDecoding, WrongKindsFailAndNameTheField) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"schedulerEnable": "yes"})", R"(Invalid value for "schedulerEnable": expected a boolean, got a string)"},
        {R"({"alarmDelaySec": "2"})", R"(Invalid value for "alarmDelaySec": expected a number, got a string)"},
        {R"({"alarmDelaySec": null})", R"(Invalid value for "alarmDelaySec": expected a number, got null)"},
        {R"({"alarmSignalId": 5})", R"(Invalid value for "alarmSignalId": expected a string, got an integer)"},
        {R"({"calendar": {"workdayMode": "MON_TO_FRI"}})",
         R"(Invalid value for "calendar.workdayMode": expected an integer, got a string)"},
        {R"({"calendar": {"workdayMode": 8}})", R"(Invalid value for "calendar.workdayMode": 8 is not a valid choice)"},
        {R"({"dailyPreferences": {"_lastDay": 1.5}})",
         R"(Invalid value for "dailyPreferences._lastDay": expected an integer, got 1.5)"},
        {R"({"dailyPreferences": {"selectedTimetableId": 3}})",
         R"(Invalid value for "dailyPreferences.selectedTimetableId": expected a string or null, got an integer)"},
        {R"({"calendar": {"singleEvents": [{"start": "2024-01-01"}, {"end": "2024-02-30"}]}})",
         R"(Invalid value for "calendar.singleEvents[1].end": cannot read "2024-02-30": Invalid date: 2024-02-30)"},
        {R"({"calendar": {"reoccurringEvents": {}}})",
         R"(Invalid value for "calendar.reoccurringEvents": expected an array, got an object)"},
        {R"({"dailyPreferences": []})", R"(Invalid value for "dailyPreferences": expected an object, got an array)"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(decodeFailure([&] { from_json<Settings>(text); }), message) << text;
}

TEST(RecordDecoding, BadValuesInsideTimetablesNameTheirPlace) {
    EXPECT_EQ(decodeFailure([] { from_json<TimeTable>(R"({"chB": {"lessons": ["08:00 - 08:45", "9:00"]}})"); }),
              R"(Invalid value for "chB.lessons[1]": cannot read "9:00": A lesson needs a start and an end )"
              R"(separated by "-": '9:00')");
    EXPECT_EQ(decodeFailure([] { from_json<TimeTable>(R"({"customPlays": [{"slots": ["24:00"]}]})"); }),
              R"(Invalid value for "customPlays[0].slots[0]": cannot read "24:00")");
    EXPECT_EQ(decodeFailure([] { from_json<TimeTable>(R"({"chA": {"startOfClass": {"iterations": true}}})"); }),
              R"(Invalid value for "chA.startOfClass.iterations": expected an integer, got a boolean)");
    EXPECT_EQ(decodeFailure([] { from_json<AudioAsset>(R"({"lastModified": "later"})"); }),
              R"(Invalid value for "lastModified": cannot read "later": Invalid isoformat string: 'later')");
    EXPECT_EQ(decodeFailure([] { from_json<AudioAsset>(R"({"lengthSec": 99999999999})"); }),
              R"(Invalid value for "lengthSec": expected an integer, got 99999999999)");
    EXPECT_EQ(decodeFailure([] { from_json<TimeTable>("[]"); }), "expected an object, got an array");
    EXPECT_THROW(from_json<TimeTable>("{\"name\": "), InvalidValueError);
}

TEST(RecordFingerprint, FollowsNestedChangesAndIgnoresSameValueAssignments) {
    TimeTable tt = busyTimeTable();
    const Fingerprint base = fingerprintOf(tt);
    tt.chA.lessons[1].end = TimeOfDay(9, 11);
    EXPECT_NE(fingerprintOf(tt), base);
    tt.chA.lessons[1].end = TimeOfDay(9, 10);
    EXPECT_EQ(fingerprintOf(tt), base);

    tt.customPlays[0].slots.push_back(TimeOfDay(13, 0));
    EXPECT_NE(fingerprintOf(tt), base);
    tt.customPlays[0].slots.pop_back();
    tt.chB.startOfClass.delaySec = 1.25;
    EXPECT_NE(fingerprintOf(tt), base);
}

TEST(RecordFingerprint, SeesSwappedValuesAndMovedListItems) {
    Settings s;
    const Fingerprint base = fingerprintOf(s);
    std::swap(s.alarmSignalId, s.announcementSignalId);
    EXPECT_NE(fingerprintOf(s), base);

    TimeTable a, b;
    a.chA.lessons = {Lesson::fromHour(8), Lesson::fromHour(9)};
    b.chA.lessons = {Lesson::fromHour(9), Lesson::fromHour(8)};
    EXPECT_NE(fingerprintOf(a), fingerprintOf(b));
    a.chA.lessons = {};
    b.chB.lessons = {};
    EXPECT_NE(fingerprintOf(a), fingerprintOf(b)); // the same lessons in the other channel

    DailyPreferences none, empty{std::string()};
    EXPECT_NE(fingerprintOf(none), fingerprintOf(empty));
}

TEST(RecordEquality, IsFieldWise) {
    EXPECT_TRUE(TimeTable{} == TimeTable{});
    TimeTable changed;
    changed.chB.preStart.doRepeat = true;
    EXPECT_FALSE(TimeTable{} == changed);
    EXPECT_TRUE(TimeTable{} != changed);
}

TEST(AttributeForm, WritesDatesAsTheirParts) {
    const Json attrs = toAttributes(busySettings());
    EXPECT_EQ(attrs["calendar"]["singleEvents"][0]["start"], (Json{{"y", 2024}, {"m", 9}, {"d", 2}}));
    EXPECT_EQ(attrs["calendar"]["workdayMode"], 25);
    EXPECT_EQ(attrs["calendar"]["reoccurringEvents"][0]["mode"], 3);
    EXPECT_EQ(attrs["dailyPreferences"]["_lastDay"], 245);
    EXPECT_EQ(attrs["alarmDelaySec"], 2.5);
    const Json lesson = toAttributes(busyTimeTable())["chA"]["lessons"][0];
    EXPECT_EQ(lesson, (Json{{"start", {{"h", 7}, {"m", 30}, {"s", 0}}}, {"end", {{"h", 8}, {"m", 15}, {"s", 0}}}}));
}

TEST(AssignPath, SetsNestedFieldsWithTypedValues) {
    Settings s;
    EXPECT_TRUE(assignPath(s, "schedulerEnable", false));
    EXPECT_TRUE(assignPath(s, "calendar.workdayMode", 16));
    EXPECT_TRUE(assignPath(s, "dailyPreferences.selectedTimetableId", "tt-9"));
    EXPECT_TRUE(assignPath(s, "alarmDelaySec", 3));
    EXPECT_TRUE(assignPath(s, "calendar.singleEvents",
                           Json::parse(R"([{"timeTableId": "x", "start": "2024-01-01", "end": "2024-01-02"}])")));
    EXPECT_FALSE(s.schedulerEnable);
    EXPECT_EQ(s.calendar.workdayMode, WorkdayMode::MON_TO_SAT);
    EXPECT_EQ(s.dailyPreferences.selectedTimetableId, "tt-9");
    EXPECT_EQ(s.alarmDelaySec, 3.0);
    ASSERT_EQ(s.calendar.singleEvents.size(), 1u);
    EXPECT_EQ(s.calendar.singleEvents[0].end, Date(2024, 1, 2));
    EXPECT_TRUE(assignPath(s, "dailyPreferences.selectedTimetableId", nullptr));
    EXPECT_FALSE(s.dailyPreferences.selectedTimetableId.has_value());
}

TEST(AssignPath, RefusesWrongValuesAndUnknownInnerFieldsWithoutChanges) {
    Settings s;
    const Settings before = s;
    EXPECT_EQ(decodeFailure([&] { assignPath(s, "calendar.workdayMode", "x"); }),
              R"(Invalid value for "calendar.workdayMode": expected an integer, got a string)");
    EXPECT_EQ(decodeFailure([&] { assignPath(s, "schedulerEnable", nullptr); }),
              R"(Invalid value for "schedulerEnable": expected a boolean, got null)");
    EXPECT_EQ(decodeFailure([&] { assignPath(s, "calendar.singleEvents", Json::parse(R"([{"start": "x"}])")); }),
              R"(Invalid value for "calendar.singleEvents[0].start": cannot read "x": Invalid date format)");
    EXPECT_THROW(assignPath(s, "nothing.here", 1), KeyError);
    EXPECT_THROW(assignPath(s, "alarmSignalId.length", 1), KeyError);
    EXPECT_FALSE(assignPath(s, "calendar.noSuchField", 1)); // a last piece that names no field is ignored
    EXPECT_FALSE(assignPath(s, "noSuchField", 1));
    EXPECT_TRUE(s == before);
}

} // namespace
