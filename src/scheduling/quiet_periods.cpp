#include "scheduling/quiet_periods.h"

#include <algorithm>

#include <spdlog/spdlog.h>

#include "scheduling/clock.h"
#include "storage/atomic_file.h"
#include "storage/storage_wrapper.h"

namespace tollwick {

bool QuietDay::isQuiet(const TimeOfDay& t) const noexcept {
    return std::any_of(periods.begin(), periods.end(), [&](const QuietPeriod& p) { return p.covers(t); }) ||
           std::find(skippedBells.begin(), skippedBells.end(), t) != skippedBells.end();
}

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

bool QuietPeriods::isQuiet(const ClockReading& at) const {
    const std::string date = dateStringOf(at);
    std::scoped_lock lock(_mutex);
    return _day.date == date && _day.isQuiet(TimeOfDay::fromTimeStruct(at));
}

QuietDay QuietPeriods::today(const ClockReading& now) const {
    const std::string date = dateStringOf(now);
    std::scoped_lock lock(_mutex);
    return _day.date == date ? _day : QuietDay{date};
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
    QuietDay after = before.date == dateStringOf(now) ? before : QuietDay{dateStringOf(now)};
    if (!change(after))
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

} // namespace tollwick
