#include "web/api/range_checks.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "runtime/errors.h"

namespace tollwick::web {

namespace {

// The shortest text that reads back as `value`: 600, 600.5, -0.25.
std::string numberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void checkDelay(double seconds, const std::string& where) {
    if (!(seconds >= 0.0 && seconds <= PlayDesc::MAX_DELAY_SEC))
        throw InvalidValueError(where + " must be from 0 to " + numberText(PlayDesc::MAX_DELAY_SEC) + " seconds, not " +
                                numberText(seconds));
}

void checkPlay(const PlayDesc& desc, const std::string& where) {
    if (desc.iterations < PlayDesc::MIN_ITERATIONS || desc.iterations > PlayDesc::MAX_ITERATIONS)
        throw InvalidValueError(where + ".iterations must be from " + std::to_string(PlayDesc::MIN_ITERATIONS) +
                                " to " + std::to_string(PlayDesc::MAX_ITERATIONS) + ", not " +
                                std::to_string(desc.iterations));
    checkDelay(desc.delaySec, where + ".delaySec");
}

void checkChannel(const SignalTable& channel, const std::string& where) {
    checkPlay(channel.startOfClass, where + ".startOfClass");
    checkPlay(channel.endOfClass, where + ".endOfClass");
    checkPlay(channel.preStart, where + ".preStart");
    checkPlay(channel.preEnd, where + ".preEnd");
}

} // namespace

void checkRanges(const TimeTable& timetable) {
    checkChannel(timetable.chA, "chA");
    checkChannel(timetable.chB, "chB");
    for (std::size_t i = 0; i < timetable.customPlays.size(); ++i)
        checkPlay(timetable.customPlays[i].desc, "customPlays." + std::to_string(i) + ".desc");
}

void checkRanges(const Settings& settings) {
    checkDelay(settings.alarmDelaySec, "alarmDelaySec");
}

void checkLanguage(const std::string& language) {
    if (std::find(INTERFACE_LANGUAGES.begin(), INTERFACE_LANGUAGES.end(), language) == INTERFACE_LANGUAGES.end())
        throw InvalidValueError("Invalid value for \"language\": \"" + language +
                                "\" is not one of \"en\", \"hu\", \"de\"");
}

} // namespace tollwick::web
