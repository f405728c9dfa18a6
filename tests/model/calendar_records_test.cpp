#include <gtest/gtest.h>

#include "model/model.h"

using namespace tollwick;
using Mode = ReoccurringCalendarEvent::Mode;

namespace {

date::year_month_day ymd(int y, unsigned m, unsigned d) { return date::year{y} / date::month{m} / date::day{d}; }

TEST(ReoccurringEvent, WeekdayBitsSelectDays) {
    const ReoccurringCalendarEvent mondays{"tt", Mode::EVERY_WEEK, 1};
    // 2024-09-02 is a Monday; check a whole fortnight.
    for (unsigned d = 2; d <= 15; ++d)
        EXPECT_EQ(mondays.isActiveOnDate(ymd(2024, 9, d)), d == 2 || d == 9) << d;
    const ReoccurringCalendarEvent sundays{"tt", Mode::EVERY_WEEK, 64};
    EXPECT_TRUE(sundays.isActiveOnDate("2024-09-08"));
    EXPECT_FALSE(sundays.isActiveOnDate("2024-09-07"));
    const ReoccurringCalendarEvent never{"tt", Mode::EVERY_WEEK, 0};
    for (unsigned d = 1; d <= 7; ++d)
        EXPECT_FALSE(never.isActiveOnDate(ymd(2024, 9, d)));
}

TEST(ReoccurringEvent, WeekParityFollowsIsoWeeksAcrossYearEnds) {
    const ReoccurringCalendarEvent odd{"tt", Mode::ODD_WEEK, 127};
    const ReoccurringCalendarEvent even{"tt", Mode::EVEN_WEEK, 127};
    // date, ISO week
    const std::pair<const char*, int> cases[] = {
        {"2020-12-31", 53}, // Thursday of 2020-W53
        {"2021-01-03", 53}, // Sunday, still 2020-W53
        {"2021-01-04", 1},  // Monday of 2021-W01
        {"2026-01-01", 1},  // Thursday, 2026-W01
        {"2025-12-29", 1},  // Monday of 2026-W01, in the old year
        {"2025-12-28", 52}, // Sunday of 2025-W52
        {"2027-01-01", 53}, // Friday, 2026-W53
        {"2027-01-03", 53},
        {"2027-01-04", 1},
        {"2024-12-30", 1}, // Monday of 2025-W01
        {"2026-12-08", 50},
    };
    for (const auto& [text, week] : cases) {
        EXPECT_EQ(odd.isActiveOnDate(text), week % 2 == 1) << text;
        EXPECT_EQ(even.isActiveOnDate(text), week % 2 == 0) << text;
    }
    const ReoccurringCalendarEvent every{"tt", Mode::EVERY_WEEK, 127};
    EXPECT_TRUE(every.isActiveOnThisWeek(ymd(2020, 12, 31)));
}

TEST(ReoccurringEvent, RefusesTextThatIsNotAnIsoDate) {
    const ReoccurringCalendarEvent e{"tt", Mode::EVERY_WEEK, 127};
    for (const char* text : {"2024-9-2", "2024-02-30", "", "2024/09/02", "x"})
        EXPECT_THROW(e.isActiveOnDate(text), InvalidValueError) << text;
}

TEST(ReoccurringEvent, FromUserInputChecksTypesAndMode) {
    const auto e = ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(3), Json(5));
    EXPECT_EQ(e.mode, Mode::ODD_WEEK);
    EXPECT_EQ(e.days, 5);
    EXPECT_EQ(ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(2.0), Json(1)).mode, Mode::EVEN_WEEK);
    EXPECT_THROW(ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(4), Json(1)), InvalidValueError);
    EXPECT_THROW(ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(0), Json(1)), InvalidValueError);
    try {
        ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json("1"), Json(1));
        ADD_FAILURE();
    } catch (const TypeError& e) {
        EXPECT_NE(std::string(e.what()).find("'mode'"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReoccurringCalendarEvent::fromUserInput(Json(7), Json(1), Json(1)), TypeError);
    EXPECT_THROW(ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(1), Json(1.5)), TypeError);
    EXPECT_THROW(ReoccurringCalendarEvent::fromUserInput(Json("tt"), Json(true), Json(1)), TypeError);
}

TEST(SingleEvent, FromUserInputDecodesDates) {
    const auto e = SingleCalendarEvent::fromUserInput(Json("tt"), Json("2024-9-2"), Json(" 2024-09-01 "));
    EXPECT_EQ(e.start, Date(2024, 9, 2));
    EXPECT_EQ(e.end, Date(2024, 9, 1)) << "start after end is not checked";
    EXPECT_THROW(SingleCalendarEvent::fromUserInput(Json("tt"), Json("2024-09"), Json("2024-09-01")),
                 InvalidValueError);
    try {
        SingleCalendarEvent::fromUserInput(Json("tt"), Json("2024-09-01"), Json(20240901));
        ADD_FAILURE();
    } catch (const TypeError& e) {
        EXPECT_NE(std::string(e.what()).find("'end'"), std::string::npos) << e.what();
    }
}

// An event's name is written only when it has one, so files and answers without names read as
// they always did, and a name survives the round trip.
TEST(SingleEvent, ItsNameIsWrittenOnlyWhenItHasOne) {
    const struct {
        const char* name;
        const char* json;
    } cases[] = {
        {"", R"({"timeTableId": "T", "start": "2026-12-10", "end": "2026-12-11"})"},
        {"Sports day", R"({"timeTableId": "T", "start": "2026-12-10", "end": "2026-12-11", "name": "Sports day"})"},
    };
    for (const auto& c : cases) {
        SingleCalendarEvent event = SingleCalendarEvent::fromUserInput(std::string("T"), "2026-12-10", "2026-12-11");
        event.name = c.name;
        EXPECT_EQ(to_json(event), c.json);
        EXPECT_EQ(from_dict<SingleCalendarEvent>(Json::parse(c.json)), event);
        EXPECT_EQ(Codec<SingleCalendarEvent>::attributes(event).contains("name"), *c.name != 0) << c.name;
    }
    ReoccurringCalendarEvent weekly = ReoccurringCalendarEvent::fromUserInput(std::string("T"), 1, 1);
    EXPECT_EQ(to_json(weekly), R"({"timeTableId": "T", "mode": 1, "days": 1})");
    weekly.name = "Choir";
    EXPECT_EQ(from_dict<ReoccurringCalendarEvent>(to_dict(weekly)).name, "Choir");
}

TEST(CalendarSettings, WorkdaysOfEveryWorkingWeek) {
    const std::pair<WorkdayMode, std::vector<int>> cases[] = {
        {WorkdayMode::EVERY_DAY, {0, 1, 2, 3, 4, 5, 6}}, {WorkdayMode::MON_TO_FRI, {0, 1, 2, 3, 4}},
        {WorkdayMode::MON_TO_SAT, {0, 1, 2, 3, 4, 5}},    {WorkdayMode::MON_TO_THU, {0, 1, 2, 3}},
        {WorkdayMode::SUN_TO_THU, {6, 0, 1, 2, 3}},       {WorkdayMode::SAT_TO_WED, {5, 6, 0, 1, 2}},
        {static_cast<WorkdayMode>(99), {0, 1, 2, 3, 4, 5, 6}},
    };
    for (const auto& [mode, days] : cases) {
        CalendarSettings c;
        c.workdayMode = mode;
        EXPECT_EQ(c.getWorkdays(), days) << static_cast<int>(mode);
    }
}

TEST(DailyPreferences, ChoiceLapsesOnlyAtANewDay) {
    DailyPreferences p{"tt", -1};
    p.resetOnNewDay(100);
    EXPECT_FALSE(p.selectedTimetableId.has_value());
    EXPECT_EQ(p._lastDay, 100);
    p.selectedTimetableId = "chosen today";
    p.resetOnNewDay(100);
    EXPECT_EQ(p.selectedTimetableId, "chosen today");
    p.resetOnNewDay(101);
    EXPECT_FALSE(p.selectedTimetableId.has_value());
    EXPECT_EQ(p._lastDay, 101);
}

TEST(ScheduleRecords, LessonTextAndChannels) {
    const Lesson l = Lesson::decode("7:30-8:15");
    EXPECT_EQ(l.start, TimeOfDay(7, 30));
    EXPECT_EQ(l.end, TimeOfDay(8, 15));
    EXPECT_EQ(l.asString(), "07:30 - 08:15");
    EXPECT_EQ(Lesson::decode(" 08:00:30 - 08:45 - junk").asString(), "08:00:30 - 08:45");
    EXPECT_THROW(Lesson::decode("08:00"), IndexError);
    EXPECT_THROW(Lesson::decode("08:00 - 25:00"), InvalidValueError);
    EXPECT_EQ(Lesson::fromHour(13).asString(), "13:00 - 13:45");
    EXPECT_NE(Lesson::fromHour(8).fingerprint(), (Lesson{TimeOfDay(8, 45), TimeOfDay(8, 0)}.fingerprint()));

    TimeTable tt;
    EXPECT_EQ(&tt.chAt(0), &tt.chA);
    EXPECT_EQ(&tt.chAt(1), &tt.chB);
    tt.chAt(1).preStartWaitMin = 9;
    EXPECT_EQ(tt.chB.preStartWaitMin, 9);
    EXPECT_THROW(tt.chAt(2), KeyError);
    EXPECT_THROW(tt.chAt(-1), KeyError);
}

TEST(ScheduleRecords, ProgrammeFromUserInput) {
    const auto p = Programme::fromUserInput("song", "2026-12-08", "9:05:07");
    EXPECT_EQ(to_json(p), R"({"songId": "song", "date": "2026-12-08", "time": "09:05:07", "deleteAfterPlay": true})");
    EXPECT_THROW(Programme::fromUserInput("song", "2026-12-32", "09:00"), InvalidValueError);
    EXPECT_THROW(Programme::fromUserInput("song", "2026-12-08", "9"), InvalidValueError);
}

} // namespace
