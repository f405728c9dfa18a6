#include "web/api/change_summaries.h"

#include <set>

#include "model/json_text.h"

namespace tollwick::web {

namespace {

constexpr const char* ARROW = " → ";

// `text` cut to MAX_VALUE_CHARS characters, never inside one.
std::string shortened(const std::string& text) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == MAX_VALUE_CHARS)
            return text.substr(0, i) + "…";
    }
    return text;
}

// A value as a piece shows it: texts without quotes (an empty one as ''), anything else as its JSON
// text.
std::string valueText(const Json& value) {
    if (!value.is_string())
        return shortened(toJsonText(value));
    const std::string& text = value.get_ref<const std::string&>();
    return text.empty() ? "''" : shortened(text);
}

std::string countText(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What a member left out of the JSON form holds: a member that came later is left out while it
// holds its type's default, which is the empty value of its kind.
Json emptyLike(const Json& value) {
    switch (value.type()) {
    case Json::value_t::string:
        return "";
    case Json::value_t::array:
        return Json::array();
    case Json::value_t::object:
        return Json::object();
    case Json::value_t::boolean:
        return false;
    case Json::value_t::number_float:
        return 0.0;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
        return 0;
    default:
        return nullptr;
    }
}

// One piece per leaf of `after` that differs from `before`, by its dotted path; lists of another
// length by their lengths.
void diff(const std::string& path, const Json& before, const Json& after, std::vector<std::string>& pieces) {
    if (before == after)
        return;
    if (before.is_object() && after.is_object()) {
        for (const auto& [key, value] : after.items())
            diff(path.empty() ? key : path + "." + key, before.contains(key) ? before[key] : emptyLike(value), value,
                 pieces);
        for (const auto& [key, value] : before.items())
            if (!after.contains(key))
                diff(path.empty() ? key : path + "." + key, value, emptyLike(value), pieces);
    } else if (before.is_array() && after.is_array() && before.size() == after.size()) {
        for (std::size_t i = 0; i < after.size(); ++i)
            diff(path + "[" + std::to_string(i) + "]", before[i], after[i], pieces);
    } else if (before.is_array() && after.is_array()) {
        pieces.push_back(path + ": " + countText(before.size(), "item", "items") + ARROW +
                         countText(after.size(), "item", "items"));
    } else {
        pieces.push_back(path + ": " + valueText(before) + ARROW + valueText(after));
    }
}

// The pieces joined, at most MAX_SUMMARY_PIECES of them.
std::string joined(const std::vector<std::string>& pieces) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size() && i < MAX_SUMMARY_PIECES; ++i)
        out += (i ? "; " : "") + pieces[i];
    if (pieces.size() > MAX_SUMMARY_PIECES) {
        const std::size_t more = pieces.size() - MAX_SUMMARY_PIECES;
        out += "; and " + countText(more, "more change", "more changes");
    }
    return out;
}

void lessonDiff(const std::string& prefix, const std::vector<Lesson>& before, const std::vector<Lesson>& after,
                std::vector<std::string>& pieces) {
    for (std::size_t i = 0; i < before.size() || i < after.size(); ++i) {
        const std::string lesson = prefix + "lesson " + std::to_string(i + 1);
        if (i >= before.size()) {
            pieces.push_back(lesson + " added: " + after[i].asString());
        } else if (i >= after.size()) {
            pieces.push_back(lesson + " removed");
        } else {
            if (!(before[i].start == after[i].start))
                pieces.push_back(lesson + " start " + before[i].start.asString() + ARROW + after[i].start.asString());
            if (!(before[i].end == after[i].end))
                pieces.push_back(lesson + " end " + before[i].end.asString() + ARROW + after[i].end.asString());
        }
    }
}

void channelDiff(const char* name, const char* lessonPrefix, const SignalTable& before, const SignalTable& after,
                 std::vector<std::string>& pieces) {
    lessonDiff(lessonPrefix, before.lessons, after.lessons, pieces);
    Json a = to_dict(before);
    Json b = to_dict(after);
    a.erase("lessons");
    b.erase("lessons");
    diff(name, a, b, pieces);
}

std::string timetableName(const DB& db, const std::string& id) {
    if (id == NULL_ID)
        return "no bells";
    const TimeTable* timetable = db.timetables.find(id);
    return "timetable " + quotedName(timetable ? timetable->name : id);
}

std::string namePart(const std::string& name) {
    return name.empty() ? "" : " " + quotedName(name);
}

} // namespace

std::string quotedName(const std::string& text) {
    return "'" + shortened(text) + "'";
}

std::vector<Change> settingsChanges(const Settings& before, const Settings& after) {
    std::vector<Change> changes;
    if (before.schedulerEnable != after.schedulerEnable)
        changes.push_back({after.schedulerEnable ? "bells.on" : "bells.off", std::nullopt,
                           std::string("schedulerEnable: ") + (before.schedulerEnable ? "true" : "false") + ARROW +
                               (after.schedulerEnable ? "true" : "false")});
    Json a = to_dict(before);
    Json b = to_dict(after);
    for (const char* member : {"schedulerEnable", "alertTargets"}) {
        a.erase(member);
        b.erase(member);
    }
    std::vector<std::string> pieces;
    diff("", a, b, pieces);
    if (before.alertTargets != after.alertTargets) {
        const std::size_t n = before.alertTargets.size();
        const std::size_t m = after.alertTargets.size();
        pieces.push_back(n == m ? "alertTargets: " + countText(m, "target", "targets") + " changed"
                                : "alertTargets: " + std::to_string(n) + ARROW + countText(m, "target", "targets"));
    }
    if (!pieces.empty())
        changes.push_back({"settings.update", std::nullopt, joined(pieces)});
    return changes;
}

std::string timetableSummary(const TimeTable& before, const TimeTable& after) {
    std::vector<std::string> pieces;
    if (before.name != after.name)
        pieces.push_back("renamed to " + quotedName(after.name));
    channelDiff("chA", "", before.chA, after.chA, pieces);
    channelDiff("chB", "channel B ", before.chB, after.chB, pieces);
    const Json a = to_dict(before)["customPlays"];
    const Json b = to_dict(after)["customPlays"];
    diff("customPlays", a, b, pieces);
    if (pieces.empty())
        return "";
    return "Timetable " + quotedName(before.name) + ": " + joined(pieces);
}

std::string programmeSummary(const std::string& name, const Programme& programme) {
    return "Programme " + quotedName(name) + " on " + programme.date.asString() + " at " + programme.time.asString();
}

std::string eventSummary(const DB& db, const SingleCalendarEvent& event) {
    return "Event" + namePart(event.name) + " " + event.start.asString() + " to " + event.end.asString() + ": " +
           timetableName(db, event.timeTableId);
}

std::string eventSummary(const DB& db, const ReoccurringCalendarEvent& event) {
    static constexpr const char* DAYS[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    std::string days;
    for (int d = 0; d < 7; ++d)
        if (event.days & (1 << d))
            days += (days.empty() ? "" : ", ") + std::string(DAYS[d]);
    const char* weeks = event.mode == ReoccurringCalendarEvent::Mode::EVEN_WEEK  ? "even weeks"
                        : event.mode == ReoccurringCalendarEvent::Mode::ODD_WEEK ? "odd weeks"
                                                                                 : "every week";
    return "Weekly event" + namePart(event.name) + " on " + (days.empty() ? "no day" : days) + " (" + weeks +
           "): " + timetableName(db, event.timeTableId);
}

} // namespace tollwick::web
