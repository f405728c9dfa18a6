#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "model/json_text.h"
#include "runtime/errors.h"

using namespace tollwick;

namespace {

std::string floatText(double v) {
    std::string out;
    appendFloatText(out, v);
    return out;
}

TEST(JsonText, FloatsAreShortestRoundTripAndKeepAFraction) {
    const std::pair<double, const char*> cases[] = {
        {1.0, "1.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {0.1, "0.1"},
        {1.5, "1.5"},
        {-2.25, "-2.25"},
        {100.0, "100.0"},
        {123456.789, "123456.789"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {0.00001, "1e-05"},
        {1.5e-7, "1.5e-07"},
        {1e15, "1000000000000000.0"},
        {8460000000000000.0, "8460000000000000.0"},
        {1e16, "1e+16"},
        {1.25e17, "1.25e+17"},
        {1e100, "1e+100"},
        {5e-324, "5e-324"},
        {0.30000000000000004, "0.30000000000000004"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(floatText(value), expected) << "for " << expected;
        EXPECT_EQ(std::strtod(floatText(value).c_str(), nullptr), value) << "round trip of " << expected;
    }
}

TEST(JsonText, NonFiniteFloatsAreRefusedRatherThanWrittenAsInvalidJson) {
    EXPECT_THROW(floatText(std::numeric_limits<double>::quiet_NaN()), InvalidValueError);
    EXPECT_THROW(floatText(std::numeric_limits<double>::infinity()), InvalidValueError);
}

TEST(JsonText, OneLineWithSpacedSeparatorsInMemberOrder) {
    Json j = Json::object();
    j["z"] = 1;
    j["a"] = Json::array({true, false, nullptr, 2.0, -3});
    j["m"] = Json::object();
    j["e"] = Json::array();
    EXPECT_EQ(toJsonText(j), R"({"z": 1, "a": [true, false, null, 2.0, -3], "m": {}, "e": []})");
}

TEST(JsonText, EscapesEverythingOutsideAsciiAndControlCharacters) {
    // "Órarend" with an accented capital, a euro sign, an emoji beyond the basic plane.
    const Json j = {{"name", "\xC3\x93rarend \xE2\x82\xAC \xF0\x9F\x94\x94"}, {"ctl", "a\"b\\c\n\t\x01\x7F/"}};
    const std::string text = toJsonText(j);
    EXPECT_EQ(text, R"({"name": "\u00d3rarend \u20ac \ud83d\udd14", "ctl": "a\"b\\c\n\t\u0001\u007f/"})");
    for (unsigned char c : text)
        EXPECT_LT(c, 0x80);
    EXPECT_EQ(parseJsonText(text), j);
}

TEST(JsonText, InvalidUtf8IsReplacedInsteadOfFailingTheWrite) {
    const Json j = std::string("bad \xFF byte");
    EXPECT_EQ(toJsonText(j), R"("bad \ufffd byte")");
}

TEST(JsonText, LargeIntegersStayIntegers) {
    EXPECT_EQ(toJsonText(Json(9007199254740993LL)), "9007199254740993");
    EXPECT_EQ(toJsonText(Json(18446744073709551615ULL)), "18446744073709551615");
    EXPECT_EQ(toJsonText(Json(-42)), "-42");
}

TEST(JsonText, MalformedTextFailsWithAValueError) {
    EXPECT_THROW(parseJsonText("{\"a\": "), InvalidValueError);
    EXPECT_THROW(parseJsonText(""), InvalidValueError);
    EXPECT_THROW(parseJsonText("{\"a\": 1} trailing"), InvalidValueError);
    EXPECT_EQ(parseJsonText(" {\"b\": 2, \"a\": 1} ").begin().key(), "b");
}

TEST(JsonText, NestingDeeperThan64LevelsIsRefused) {
    auto nested = [](int depth, char open, char close) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += open == '{' ? std::string("{\"a\": ") : std::string(1, open);
        text += "1";
        text += std::string(static_cast<std::size_t>(depth), close);
        return text;
    };
    EXPECT_NO_THROW(parseJsonText(nested(64, '[', ']')));
    EXPECT_NO_THROW(parseJsonText(nested(64, '{', '}')));
    EXPECT_THROW(parseJsonText(nested(65, '[', ']')), InvalidValueError);
    EXPECT_THROW(parseJsonText(nested(65, '{', '}')), InvalidValueError);
    EXPECT_THROW(parseJsonText(std::string(1 << 20, '[')), InvalidValueError);
}

} // namespace
