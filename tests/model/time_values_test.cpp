#include <gtest/gtest.h>

#include <regex>

#include "model/date.h"
#include "model/my_date_time.h"
#include "model/time_of_day.h"
#include "runtime/errors.h"

using namespace tollwick;

namespace {

TEST(TimeOfDay, TextFormShowsSecondsOnlyWhenNotZero) {
    EXPECT_EQ(TimeOfDay(8, 0, 0).asString(), "08:00");
    EXPECT_EQ(TimeOfDay(8, 0, 1).asString(), "08:00:01");
    EXPECT_EQ(TimeOfDay(8, 5, 9).asString(), "08:05:09");
    EXPECT_EQ(TimeOfDay(123, 0, 0).asString(), "123:00");
    EXPECT_EQ(TimeOfDay::decode("08:00"), TimeOfDay(8, 0, 0));
    EXPECT_EQ(TimeOfDay::decode("08:00:01"), TimeOfDay(8, 0, 1));
}

TEST(TimeOfDay, DecodeAcceptsLooseButValidText) {
    const std::pair<const char*, TimeOfDay> cases[] = {
        {"8:5", {8, 5, 0}},    {"  07:45 ", {7, 45, 0}}, {"23:59:59", {23, 59, 59}}, {"+8:05", {8, 5, 0}},
        {"8 : 05", {8, 5, 0}}, {"00:00:00", {0, 0, 0}},  {"1:2:3:junk", {1, 2, 3}},  {"\t12:30\n", {12, 30, 0}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TimeOfDay::decode(text), expected) << text;
}

TEST(TimeOfDay, DecodeRefusesOutOfRangeAndMalformedText) {
    for (const char* text :
         {"24:00", "12:60", "-1:00", "12", "", "12:00:60", "ab:cd", "8.5:00", "12:", "1e1:00", "+-1:00", "12:5x"})
        EXPECT_THROW(TimeOfDay::decode(text), InvalidValueError) << text;
    try {
        TimeOfDay::decode("24:00");
    } catch (const InvalidValueError& e) {
        EXPECT_STREQ(e.what(), "");
    }
}

TEST(TimeOfDay, SecondsOfDayWrapIntoOneDay) {
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(86400), TimeOfDay(0, 0, 0));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(-1), TimeOfDay(23, 59, 59));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(90061), TimeOfDay(1, 1, 1));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(-60), TimeOfDay(23, 59, 0));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(-86400 * 3 - 1), TimeOfDay(23, 59, 59));
    EXPECT_EQ(TimeOfDay(13, 45, 30).toSecondsOfDay(), 49530);
}

TEST(TimeOfDay, MinusMinutesWrapsAroundMidnight) {
    EXPECT_EQ(TimeOfDay(0, 3).minusMinutes(5), TimeOfDay(23, 58));
    EXPECT_EQ(TimeOfDay(8, 0).minusMinutes(5), TimeOfDay(7, 55));
    EXPECT_EQ(TimeOfDay(8, 0, 30).minusMinutes(0), TimeOfDay(8, 0, 30));
    EXPECT_EQ(TimeOfDay(23, 58).minusMinutes(-5), TimeOfDay(0, 3));
    EXPECT_EQ(TimeOfDay(10, 0).minusMinutes(24 * 60 + 1), TimeOfDay(9, 59));
}

TEST(TimeOfDay, ComparesWithClockReadingsBySecondOfDay) {
    ClockReading r;
    r.year = 2024, r.month = 9, r.day = 2, r.hour = 8, r.minute = 0, r.second = 0;
    EXPECT_TRUE(TimeOfDay(8, 0, 0) == r);
    EXPECT_FALSE(TimeOfDay(8, 0, 1) == r);
    EXPECT_TRUE(TimeOfDay(8, 0, 1) > r);
    EXPECT_TRUE(TimeOfDay(7, 59, 59) < r);
    EXPECT_FALSE(TimeOfDay(8, 0, 0) > r);
    EXPECT_TRUE(TimeOfDay(9, 0) > TimeOfDay(8, 59, 59));
    EXPECT_FALSE(TimeOfDay(9, 0) < TimeOfDay(9, 0));
}

TEST(TimeOfDay, FingerprintFollowsEveryPart) {
    const TimeOfDay t(8, 5, 9);
    EXPECT_EQ(t.fingerprint(), TimeOfDay(8, 5, 9).fingerprint());
    EXPECT_NE(t.fingerprint(), TimeOfDay(8, 9, 5).fingerprint());
    EXPECT_NE(t.fingerprint(), TimeOfDay(9, 5, 8).fingerprint());
    EXPECT_NE(t.fingerprint(), TimeOfDay(8, 5, 10).fingerprint());
}

TEST(Date, TextFormIsZeroPadded) {
    EXPECT_EQ(Date(2024, 9, 2).asString(), "2024-09-02");
    EXPECT_EQ(Date(999, 1, 5).asString(), "0999-01-05");
    EXPECT_EQ(Date().asString(), "1900-01-01");
}

TEST(Date, DecodeChecksFormatAndCalendar) {
    EXPECT_EQ(Date::decode("2024-2-29"), Date(2024, 2, 29));
    EXPECT_EQ(Date::decode(" 2024-09-02 "), Date(2024, 9, 2));
    EXPECT_EQ(Date::decode("0001-01-01"), Date(1, 1, 1));
    EXPECT_EQ(Date::decode("9999-12-31"), Date(9999, 12, 31));
    for (const char* text : {"2024-09", "2024/02/01", "2024-01-01-01", "", "2024"}) {
        try {
            Date::decode(text);
            ADD_FAILURE() << text;
        } catch (const InvalidValueError& e) {
            EXPECT_STREQ(e.what(), "Invalid date format") << text;
        }
    }
    for (const char* text : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "0000-01-01", "10000-01-01",
                             "2024-xx-01", "2024-1.5-01"})
        EXPECT_THROW(Date::decode(text), InvalidValueError) << text;
}

TEST(Date, IsBetweenIsInclusiveAndChecksEveryDay) {
    const Date d(2024, 9, 2);
    EXPECT_TRUE(d.isBetween(Date(2024, 9, 2), Date(2024, 9, 2)));
    EXPECT_TRUE(d.isBetween(Date(2023, 12, 31), Date(2024, 9, 2)));
    EXPECT_FALSE(d.isBetween(Date(2024, 9, 3), Date(2025, 1, 1)));
    EXPECT_FALSE(d.isBetween(Date(2024, 9, 5), Date(2024, 9, 1))); // start after end: never
    EXPECT_TRUE(Date(2025, 1, 1).isBetween(Date(2024, 12, 31), Date(2025, 1, 2)));
    EXPECT_THROW(d.isBetween(Date(2024, 2, 30), Date(2024, 12, 1)), InvalidValueError);
    EXPECT_THROW(Date(2023, 2, 29).isBetween(Date(2023, 1, 1), Date(2023, 12, 31)), InvalidValueError);
}

TEST(Date, EqualsAClockReadingOfTheSameDay) {
    ClockReading r;
    r.year = 2024, r.month = 9, r.day = 2, r.hour = 23;
    EXPECT_TRUE(Date(2024, 9, 2) == r);
    EXPECT_FALSE(Date(2024, 9, 3) == r);
}

TEST(MyDateTime, EncodesBackExactlyWhatItRead) {
    for (const char* text : {"2024-09-02T07:45:00", "2024-09-02T07:45:00.123456", "2024-02-29T23:59:59.000001",
                             "2024-09-02T07:45:00+02:00", "2024-09-02T07:45:00.500000-05:30", "0001-01-01T00:00:00"})
        EXPECT_EQ(MyDateTime::encode(MyDateTime::decode(text)), text);
}

TEST(MyDateTime, ReadsTheShorterIsoForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"2024-09-02", "2024-09-02T00:00:00"},
        {"2024-09-02 07:45", "2024-09-02T07:45:00"},
        {"2024-09-02T07:45:30.5", "2024-09-02T07:45:30.500000"},
        {"2024-09-02T07:45:00Z", "2024-09-02T07:45:00+00:00"},
        {"2024-09-02T07:45:00+0130", "2024-09-02T07:45:00+01:30"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(MyDateTime::encode(MyDateTime::decode(text)), expected) << text;
}

TEST(MyDateTime, RefusesTextThatIsNotIsoDateTime) {
    for (const char* text : {"yesterday", "2024-9-2", "2024-02-30", "2024-09-02T25:00", "2024-09-02T07:45:00.1234567",
                             "2024-09-02X07:45", "2024-09-02T07:45:00+2", "2024-09-02T07"})
        EXPECT_THROW(MyDateTime::decode(text), InvalidValueError) << text;
}

TEST(MyDateTime, EmptyTextMeansNow) {
    const std::string text = MyDateTime::encode(MyDateTime::decode(""));
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{6})?)"))) << text;
    const auto before = MyDateTime::now().date;
    const auto decoded = MyDateTime::decode("").date;
    EXPECT_LE(before, decoded);
    EXPECT_LT(decoded - before, std::chrono::seconds(5));
}

TEST(MyDateTime, OffsetTakesPartInEquality) {
    EXPECT_EQ(MyDateTime::decode("2024-09-02T07:45:00"), MyDateTime::decode("2024-09-02T07:45:00"));
    EXPECT_FALSE(MyDateTime::decode("2024-09-02T07:45:00") == MyDateTime::decode("2024-09-02T07:45:00+00:00"));
    EXPECT_NE(MyDateTime::decode("2024-09-02T07:45:00").fingerprint(),
              MyDateTime::decode("2024-09-02T07:45:00.000001").fingerprint());
}

} // namespace
