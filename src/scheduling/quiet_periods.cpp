#include "scheduling/quiet_periods.h"

#include <algorithm>

#include <spdlog/spdlog.h>

#include "model/date.h"
#include "scheduling/clock.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "storage/storage_wrapper.h"

namespace tollwick {

bool QuietDay::isQuiet(const TimeOfDay& t) const noexcept {
    return std::any_of(periods.begin(), periods.end(), [&](const QuietPeriod& p) { return p.covers(t); }) ||
           std::find(skippedBells.begin(), skippedBells.end(), t) != skippedBells.end() || plannedAt(t) != nullptr;
}

const PlannedQuiet* QuietDay::plannedAt(const TimeOfDay& t) const noexcept {
    for (const PlannedQuiet& p : planned)
        if (p.covers(date, t))
            return &p;
    return nullptr;
}

namespace {

// Whether `p` is over at `now`: its day has passed, or its end has come today.
bool isOver(const PlannedQuiet& p, const std::string& today, const TimeOfDay& now) {
    return p.date < today || (p.date == today && !(p.to > now));
}

bool dropOver(std::vector<PlannedQuiet>& planned, const ClockReading& now) {
    const std::string today = dateStringOf(now);
    const TimeOfDay time = TimeOfDay::fromTimeStruct(now);
    const auto before = planned.size();
    std::erase_if(planned, [&](const PlannedQuiet& p) { return isOver(p, today, time); });
    return planned.size() != before;
}

bool startsBefore(const PlannedQuiet& a, const PlannedQuiet& b) {
    return std::tie(a.date, a.from, a.to) < std::tie(b.date, b.from, b.to);
}

} // namespace

void QuietPeriods::load(const std::filesystem::path& path) {
    _path = path;
    removeStaleTemporaryFiles(path);
    try {
        DocumentLoad load;
        const std::optional<Json> loaded = readDocumentFile(path, load);
        if (load.outcome == DocumentLoad::Outcome::UNREADABLE)
            spdlog::warn("The quiet periods in {} cannot be read, so none are kept: {}", path.string(), load.reason);
        if (!loaded)
            return;
        QuietDay day = from_dict<QuietDay>(*loaded);
        std::scoped_lock lock(_mutex);
        _day = std::move(day);
    } catch (const std::exception& e) {
        spdlog::warn("The quiet periods in {} cannot be read, so none are kept: {}", path.string(), e.what());
    }
}

QuietPeriods::Quietness QuietPeriods::quietAt(const ClockReading& at) const {
    const std::string date = dateStringOf(at);
    const TimeOfDay t = TimeOfDay::fromTimeStruct(at);
    Quietness out;
    std::scoped_lock lock(_mutex);
    for (const PlannedQuiet& p : _day.planned) {
        if (p.covers(date, t)) {
            out.bells = true;
            out.programmes = out.programmes || p.holdProgrammes;
        }
    }
    if (!out.bells && _day.date == date)
        out.bells = _day.isQuiet(t);
    return out;
}

QuietDay QuietPeriods::today(const ClockReading& now) const {
    const std::string date = dateStringOf(now);
    std::scoped_lock lock(_mutex);
    QuietDay day = _day.date == date ? _day : QuietDay{date, {}, {}, _day.planned};
    std::erase_if(day.planned, [&](const PlannedQuiet& p) { return p.date != date; });
    return day;
}

std::vector<PlannedQuiet> QuietPeriods::planned(const ClockReading& now) const {
    std::vector<PlannedQuiet> out;
    {
        std::scoped_lock lock(_mutex);
        out = _day.planned;
    }
    dropOver(out, now);
    return out;
}

template <class Change>
void QuietPeriods::change(const ClockReading& now, Change&& change) {
    std::scoped_lock changing(_changeMutex);
    QuietDay before;
    {
        std::scoped_lock lock(_mutex);
        before = _day;
    }
    // Only changes write _day, and they take turns, so the copy stays current meanwhile.
    QuietDay after = before.date == dateStringOf(now) ? before : QuietDay{dateStringOf(now), {}, {}, before.planned};
    // Planned periods that are over go with any change.
    const bool dropped = dropOver(after.planned, now);
    if (!change(after) && !dropped)
        return;
    {
        std::scoped_lock lock(_mutex);
        _day = after;
    }
    try {
        if (_path.empty())
            throw Error("they have no file");
        writeFileAtomically(_path, to_json(after));
    } catch (const std::exception& e) {
        std::scoped_lock lock(_mutex);
        _day = before;
        throw Error(std::string("The quiet times cannot be kept: ") + e.what());
    }
}

void QuietPeriods::mute(const ClockReading& now, const TimeOfDay& from, const TimeOfDay& to) {
    if (!(to > from))
        throw InvalidValueError("The quiet period must end after it begins");
    if (!(to > TimeOfDay::fromTimeStruct(now)))
        throw InvalidValueError("That time is already over today");
    change(now, [&](QuietDay& day) {
        const auto same = [&](const QuietPeriod& p) { return p.from == from && p.to == to; };
        if (std::any_of(day.periods.begin(), day.periods.end(), same))
            return false;
        if (day.periods.size() >= MAX_PERIODS)
            throw InvalidValueError("Today already has " + std::to_string(MAX_PERIODS) +
                                    " quiet periods, the most a day can hold. Clear them to set new ones.");
        day.periods.push_back({from, to});
        return true;
    });
}

void QuietPeriods::skip(const ClockReading& now, const TimeOfDay& bell) {
    change(now, [&](QuietDay& day) {
        if (std::find(day.skippedBells.begin(), day.skippedBells.end(), bell) != day.skippedBells.end())
            return false;
        if (day.skippedBells.size() >= MAX_SKIPPED_BELLS)
            throw InvalidValueError("Today already has " + std::to_string(MAX_SKIPPED_BELLS) +
                                    " skipped bells, the most a day can hold. Clear them to skip others.");
        day.skippedBells.push_back(bell);
        return true;
    });
}

void QuietPeriods::clear(const ClockReading& now) {
    change(now, [](QuietDay& day) {
        if (day.periods.empty() && day.skippedBells.empty())
            return false;
        day.periods.clear();
        day.skippedBells.clear();
        return true;
    });
}

std::string QuietPeriods::plan(const ClockReading& now, PlannedQuiet period) {
    Date::decode(period.date); // InvalidValueError for what is no date
    if (!(period.to > period.from))
        throw InvalidValueError("The quiet period must end after it begins");
    if (isOver(period, dateStringOf(now), TimeOfDay::fromTimeStruct(now)))
        throw InvalidValueError("That time is already over");
    if (period.name.size() > MAX_NAME_BYTES)
        throw InvalidValueError("The name of a quiet period is at most " + std::to_string(MAX_NAME_BYTES) +
                                " bytes long");
    std::string id;
    change(now, [&](QuietDay& day) {
        for (PlannedQuiet& p : day.planned)
            if (p.date == period.date && p.from == period.from && p.to == period.to) {
                id = p.id;
                const bool same = p.name == period.name && p.holdProgrammes == period.holdProgrammes;
                p.name = period.name;
                p.holdProgrammes = period.holdProgrammes;
                return !same;
            }
        if (day.planned.size() >= MAX_PLANNED)
            throw InvalidValueError("There are already " + std::to_string(MAX_PLANNED) +
                                    " quiet periods planned, the most that can be kept. Delete some to plan new ones.");
        do
            period.id = "q" + secureRandomHex(6);
        while (std::any_of(day.planned.begin(), day.planned.end(),
                           [&](const PlannedQuiet& p) { return p.id == period.id; }));
        id = period.id;
        day.planned.insert(std::upper_bound(day.planned.begin(), day.planned.end(), period, startsBefore), period);
        return true;
    });
    return id;
}

void QuietPeriods::unplan(const ClockReading& now, const std::string& id) {
    change(now, [&](QuietDay& day) {
        const auto it =
            std::find_if(day.planned.begin(), day.planned.end(), [&](const PlannedQuiet& p) { return p.id == id; });
        if (it == day.planned.end())
            throw KeyError("Key not found: " + id);
        day.planned.erase(it);
        return true;
    });
}

void QuietPeriods::dropExpired(const ClockReading& now) {
    change(now, [](QuietDay&) { return false; });
}

} // namespace tollwick
