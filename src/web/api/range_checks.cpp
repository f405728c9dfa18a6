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

// The characters of a UTF-8 text (which the JSON parser has checked): every byte that does not
// continue a character begins one.
std::size_t utf8Length(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
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

void checkSchoolName(const std::string& name) {
    if (utf8Length(name) > MAX_SCHOOL_NAME)
        throw InvalidValueError("Invalid value for \"schoolName\": longer than " + std::to_string(MAX_SCHOOL_NAME) +
                                " characters");
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw InvalidValueError("Invalid value for \"schoolName\": it holds a control character");
}

void checkAlertTargets(const std::vector<AlertTarget>& targets) {
    if (targets.size() > MAX_ALERT_TARGETS)
        throw InvalidValueError("Invalid value for \"alertTargets\": more than " + std::to_string(MAX_ALERT_TARGETS) +
                                " targets");
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string where = "\"alertTargets." + std::to_string(i);
        const std::string& url = targets[i].url;
        const bool web = url.starts_with("http://") || url.starts_with("https://");
        const bool plain = std::none_of(url.begin(), url.end(), [](char c) {
            return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f;
        });
        if (!web || !plain || url.size() > MAX_ALERT_URL || url.find("://") + 3 == url.size())
            throw InvalidValueError("Invalid value for " + where + ".url\": not an http:// or https:// address");
        std::vector<std::string> seen;
        for (const std::string& event : targets[i].events) {
            if (std::find(ALERT_EVENTS.begin(), ALERT_EVENTS.end(), event) == ALERT_EVENTS.end())
                throw InvalidValueError("Invalid value for " + where + ".events\": \"" + event +
                                        "\" is not an event");
            if (std::find(seen.begin(), seen.end(), event) != seen.end())
                throw InvalidValueError("Invalid value for " + where + ".events\": \"" + event +
                                        "\" is given twice");
            seen.push_back(event);
        }
    }
}

} // namespace tollwick::web
