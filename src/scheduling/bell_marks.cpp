#include "scheduling/bell_marks.h"

#include <algorithm>
#include <cstdio>

namespace tollwick {

namespace {

BellMark markOf(PlayOutcome outcome) noexcept {
    switch (outcome) {
    case PlayOutcome::PLAYED:
        return BellMark::PLAYED;
    case PlayOutcome::STOPPED:
        return BellMark::STOPPED;
    case PlayOutcome::FAILED:
        return BellMark::FAILED;
    case PlayOutcome::SKIPPED:
        return BellMark::SKIPPED;
    }
    return BellMark::PLAYED;
}

// The time of day of an entry's due second: the text after the date and its "T".
std::string dueTimeOf(const PlayLogEntry& entry) {
    return entry.due.substr(11);
}

MarkedBell fromEntry(PlayLogEntry entry, std::optional<NamedBell> planned) {
    MarkedBell out{dueTimeOf(entry), markOf(entry.outcome), std::nullopt, std::move(planned)};
    out.logged = std::move(entry);
    return out;
}

} // namespace

std::vector<MarkedBell> markTodaysBells(std::vector<NamedBell> bells, std::vector<PlayLogEntry> log,
                                        const QuietDay& quiet, const TimeOfDay& now) {
    std::erase_if(log, [](const PlayLogEntry& e) { return !isTimetableSource(e.source); });
    std::vector<MarkedBell> rows;
    std::vector<bool> used(log.size(), false);
    for (NamedBell& named : bells) {
        const std::string at = named.bell.at.withSeconds();
        std::optional<std::size_t> found;
        for (std::size_t i = 0; i < log.size(); ++i)
            if (!used[i] && dueTimeOf(log[i]) == at && log[i].source == named.bell.source &&
                log[i].lesson == named.bell.lesson)
                found = i;
        if (found) {
            used[*found] = true;
            rows.push_back(fromEntry(std::move(log[*found]), std::move(named)));
            continue;
        }
        const bool coming = !(now > named.bell.at);
        const BellMark mark = !coming                        ? BellMark::MISSED
                              : quiet.isQuiet(named.bell.at) ? BellMark::QUIET
                                                             : BellMark::COMING;
        rows.push_back({at, mark, std::nullopt, std::move(named)});
    }
    for (std::size_t i = 0; i < log.size(); ++i)
        if (!used[i])
            rows.push_back(fromEntry(std::move(log[i]), std::nullopt));
    std::stable_sort(rows.begin(), rows.end(), [](const MarkedBell& a, const MarkedBell& b) { return a.at < b.at; });
    return rows;
}

} // namespace tollwick
