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
    QuietDay after;
    {
        std::scoped_lock lock(_mutex);
        before = _day;
        if (_day.date != dateStringOf(now))
            _day = QuietDay{dateStringOf(now)};
        change(_day);
        after = _day;
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
    change(now, [&](QuietDay& day) { day.periods.push_back({from, to}); });
}

void QuietPeriods::skip(const ClockReading& now, const TimeOfDay& bell) {
    change(now, [&](QuietDay& day) { day.skippedBells.push_back(bell); });
}

void QuietPeriods::clear(const ClockReading& now) {
    change(now, [](QuietDay& day) {
        day.periods.clear();
        day.skippedBells.clear();
    });
}

} // namespace tollwick
