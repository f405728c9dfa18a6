#include <gtest/gtest.h>

#include "model/json_text.h"
#include "scheduling/day_resolution.h"
#include "support/fake_clock.h"

using namespace tollwick;
using tollwick::test::readingAt;
using Mode = ReoccurringCalendarEvent::Mode;

namespace {

// A Hungarian-style calendar around December 2026 (2026-12-08 is a Tuesday).
struct Calendar {
    DB db;
    Cache cache;

    Calendar() {
        db.loadFactoryDefault();
        db.settings.defaultTimetableId = "normal";
        cache.calendarRegions.add(CalendarRegion{"Hungary",
                                                 WorkdayMode::MON_TO_FRI,
                                                 true,
                                                 "2027-08-31",
                                                 {"2026-12-24", "2026-12-25", "2026-12-12"},
                                                 {"2026-12-21", "2026-12-22", "2026-12-23", "2026-12-24"},
                                                 {"2026-12-12", "2026-12-19"}},
                                  "hu");
        cache.calendarRegions.add(CalendarRegion{"Elsewhere", WorkdayMode::EVERY_DAY, true, "", {"2026-12-09"}},
                                  "xx");
    }

    std::pair<TypeOfDay, std::string> resolve(const std::string& dateStr) const {
        return getTimetableForClock(db, cache, weekdayIndex(parseIsoCalendarDate(dateStr)), dateStr);
    }
};

TEST(DayType, PrecedenceOfTheRegionAndTheWorkingWeek) {
    struct Case {
        const char* date;
        TypeOfDay expected;
        const char* why;
    };
    const Case cases[] = {
        {"2026-12-25", TypeOfDay::HOLIDAY, "a holiday on a Friday"},
        {"2026-12-12", TypeOfDay::HOLIDAY, "holiday beats extra workday"},
        {"2026-12-24", TypeOfDay::HOLIDAY, "holiday beats school break"},
        {"2026-12-19", TypeOfDay::EXTRA_WORKDAY, "a Saturday made a workday"},
        {"2026-12-21", TypeOfDay::SCHOOL_BREAK, "a Monday in the school break"},
        {"2026-12-08", TypeOfDay::WORKDAY, "an ordinary Tuesday"},
        {"2026-12-13", TypeOfDay::NON_WORKDAY, "a Sunday"},
        {"2026-12-09", TypeOfDay::WORKDAY, "another region's holiday does not count"},
    };
    const Calendar c;
    for (const Case& k : cases)
        EXPECT_EQ(c.resolve(k.date).first, k.expected) << k.date << ": " << k.why;
}

TEST(DayType, SchoolBreaksCountOnlyWhenBothSwitchesAllowThem) {
    Calendar c;
    c.db.settings.calendar.syncSchoolHolidays = false;
    EXPECT_EQ(c.resolve("2026-12-21").first, TypeOfDay::WORKDAY);
    EXPECT_EQ(c.resolve("2026-12-21").second, "normal");
    c.db.settings.calendar.syncSchoolHolidays = true;
    c.cache.calendarRegions.get("hu").provideHolidays = false;
    EXPECT_EQ(c.resolve("2026-12-21").first, TypeOfDay::WORKDAY);
    EXPECT_EQ(c.resolve("2026-12-25").first, TypeOfDay::HOLIDAY) << "holidays still count";
}

TEST(DayType, UnknownRegionLeavesTheWorkingWeekToDecide) {
    Calendar c;
    c.db.settings.calendar.syncRegionId = "nowhere";
    EXPECT_EQ(c.resolve("2026-12-25").first, TypeOfDay::WORKDAY);
    c.db.settings.calendar.workdayMode = WorkdayMode::SUN_TO_THU;
    EXPECT_EQ(c.resolve("2026-12-25").first, TypeOfDay::NON_WORKDAY) << "a Friday";
    EXPECT_EQ(c.resolve("2026-12-13").first, TypeOfDay::WORKDAY) << "a Sunday";
}

TEST(Timetable, EventsOverrideTheDayTypeWhichStillShows) {
    Calendar c;
    auto& calendar = c.db.settings.calendar;
    calendar.singleEvents = {
        {"christmas-concert", Date(2026, 12, 25), Date(2026, 12, 25)},
        {"quiet", Date(2026, 12, 7), Date(2026, 12, 9)},
        {"hidden-by-quiet", Date(2026, 12, 8), Date(2026, 12, 8)},
        {"NULL", Date(2026, 12, 14), Date(2026, 12, 14)},
    };
    calendar.reoccurringEvents = {
        {"tuesdays-and-sundays", Mode::EVERY_WEEK, 2 | 64},
        {"every-day", Mode::EVERY_WEEK, 127},
    };
    struct Case {
        const char* date;
        TypeOfDay type;
        const char* id;
        const char* why;
    };
    const Case cases[] = {
        {"2026-12-25", TypeOfDay::HOLIDAY, "christmas-concert", "a single event on a holiday"},
        {"2026-12-07", TypeOfDay::WORKDAY, "quiet", "the first day of a longer event"},
        {"2026-12-08", TypeOfDay::WORKDAY, "quiet", "the earlier event in the list wins"},
        {"2026-12-09", TypeOfDay::WORKDAY, "quiet", "the last day of a longer event"},
        {"2026-12-14", TypeOfDay::WORKDAY, "NULL", "a NULL event silences a workday"},
        {"2026-12-15", TypeOfDay::WORKDAY, "tuesdays-and-sundays", "single events beat recurring ones"},
        {"2026-12-13", TypeOfDay::NON_WORKDAY, "tuesdays-and-sundays", "a recurring event on a Sunday"},
        {"2026-12-16", TypeOfDay::WORKDAY, "every-day", "the first active recurring event wins"},
        {"2026-12-24", TypeOfDay::HOLIDAY, "every-day", "recurring events beat holidays too"},
    };
    for (const Case& k : cases) {
        const auto [type, id] = c.resolve(k.date);
        EXPECT_EQ(type, k.type) << k.date << ": " << k.why;
        EXPECT_EQ(id, k.id) << k.date << ": " << k.why;
    }
}

TEST(Timetable, WithoutEventsOnlyWorkdaysRing) {
    const Calendar c;
    const std::pair<const char*, const char*> cases[] = {
        {"2026-12-08", "normal"}, {"2026-12-19", "normal"}, {"2026-12-13", "NULL"},
        {"2026-12-25", "NULL"},   {"2026-12-21", "NULL"},
    };
    for (const auto& [date, id] : cases)
        EXPECT_EQ(c.resolve(date).second, id) << date;
}

TEST(Timetable, OddAndEvenWeekEvents) {
    Calendar c;
    c.db.settings.calendar.reoccurringEvents = {{"odd", Mode::ODD_WEEK, 127}, {"even", Mode::EVEN_WEEK, 127}};
    EXPECT_EQ(c.resolve("2026-12-08").second, "even") << "ISO week 50";
    EXPECT_EQ(c.resolve("2026-12-15").second, "odd") << "ISO week 51";
    EXPECT_EQ(c.resolve("2027-01-01").second, "odd") << "ISO week 53 of 2026";
    EXPECT_EQ(c.resolve("2027-01-04").second, "odd") << "ISO week 1 of 2027";
}

TEST(Timetable, UnreadableDateFails) {
    const Calendar c;
    EXPECT_THROW(getTimetableForClock(c.db, c.cache, 0, "2026-13-01"), InvalidValueError);
    EXPECT_THROW(getTimetableForClock(c.db, c.cache, 0, "yesterday"), InvalidValueError);
}

TEST(ActiveTimetable, NormalDailyOverrideAndDisabled) {
    Calendar c;
    const ClockReading now = readingAt(2026, 12, 8, 9, 30, 0);
    TimetableInfo info = getActiveTimetableInfo(c.db, c.cache, now);
    EXPECT_EQ(to_json(info), R"({"id": "normal", "source": "NORMAL", "date": "2026-12-08", "dayOfWeek": 1, )"
                             R"("typeOfDay": "WORKDAY", "programmeToday": null})");

    c.db.settings.dailyPreferences.selectedTimetableId = "normal";
    info = getActiveTimetableInfo(c.db, c.cache, now);
    EXPECT_EQ(info.source, TimetableSource::NORMAL) << "a choice equal to the calendar's is no override";

    c.db.settings.dailyPreferences.selectedTimetableId = "short-day";
    info = getActiveTimetableInfo(c.db, c.cache, now);
    EXPECT_EQ(info.id, "short-day");
    EXPECT_EQ(info.source, TimetableSource::DAILY_OVERRIDE);

    const ClockReading christmas = readingAt(2026, 12, 25, 9, 0, 0);
    info = getActiveTimetableInfo(c.db, c.cache, christmas);
    EXPECT_EQ(info.id, "short-day") << "a daily choice applies even where the calendar gives NULL";
    EXPECT_EQ(info.typeOfDay, TypeOfDay::HOLIDAY);

    c.db.programmes.add(Programme{"ID_ring", Date(2026, 12, 8), TimeOfDay(10, 0)});
    c.db.settings.schedulerEnable = false;
    info = getActiveTimetableInfo(c.db, c.cache, now);
    EXPECT_EQ(to_json(info), R"({"id": "NULL", "source": "DISABLED", "date": "2026-12-08", "dayOfWeek": 1, )"
                             R"("typeOfDay": "WORKDAY", "programmeToday": null})");
}

TEST(ActiveTimetable, NextProgrammeIsStrictlyLaterAndTiesKeepStoredOrder) {
    Calendar c;
    auto& songs = c.db.songs;
    songs.add(AudioAsset{"Fanfare"}, "fanfare");
    songs.add(AudioAsset{"March"}, "march");
    auto& programmes = c.db.programmes;
    programmes.add(Programme{"fanfare", Date(2026, 12, 8), TimeOfDay(9, 30, 0)});  // this very second
    programmes.add(Programme{"march", Date(2026, 12, 9), TimeOfDay(9, 45, 0)});    // tomorrow
    programmes.add(Programme{"march", Date(2026, 12, 8), TimeOfDay(11, 0, 0)});
    programmes.add(Programme{"march", Date(2026, 12, 8), TimeOfDay(10, 15, 30)});  // earliest later one
    programmes.add(Programme{"fanfare", Date(2026, 12, 8), TimeOfDay(10, 15, 30)}); // same time, later in order
    programmes.add(Programme{"fanfare", Date(2026, 12, 8), TimeOfDay(9, 0, 0)});    // already past
    const ClockReading now = readingAt(2026, 12, 8, 9, 30, 0);
    EXPECT_EQ(getActiveTimetableInfo(c.db, c.cache, now).programmeToday, "10:15:30 - March");

    const ClockReading later = readingAt(2026, 12, 8, 10, 15, 30);
    EXPECT_EQ(getActiveTimetableInfo(c.db, c.cache, later).programmeToday, "11:00 - March");
    const ClockReading evening = readingAt(2026, 12, 8, 20, 0, 0);
    EXPECT_EQ(getActiveTimetableInfo(c.db, c.cache, evening).programmeToday, std::nullopt);
}

TEST(ActiveTimetable, ProgrammeWithADeletedSongShowsItsIdAndTheBellsGoOn) {
    Calendar c;
    c.db.programmes.add(Programme{"gone-song", Date(2026, 12, 8), TimeOfDay(10, 0)});
    const TimetableInfo info = getActiveTimetableInfo(c.db, c.cache, readingAt(2026, 12, 8, 9, 0, 0));
    EXPECT_EQ(info.programmeToday, "10:00 - gone-song");
    EXPECT_EQ(info.id, "normal");
    EXPECT_EQ(programmeToInfoStr(c.db, nullptr), std::nullopt);
}

} // namespace
