#include "model/metrics.h"

#include <algorithm>
#include <cmath>

namespace tollwick {

namespace {
constexpr auto RELAXED = std::memory_order_relaxed;
}

void Metrics::countPlay(PlaySource source, PlayOutcome outcome) noexcept {
    const auto s = static_cast<std::size_t>(source);
    const auto o = static_cast<std::size_t>(outcome);
    if (s < SOURCES && o < OUTCOMES)
        _plays[s][o].fetch_add(1, RELAXED);
}

void Metrics::observeLateness(double seconds) noexcept {
    seconds = std::max(0.0, seconds);
    const auto bucket = static_cast<std::size_t>(
        std::lower_bound(LATENESS_BUCKETS.begin(), LATENESS_BUCKETS.end(), seconds) - LATENESS_BUCKETS.begin());
    _lateness[bucket].fetch_add(1, RELAXED);
    _latenessMicroseconds.fetch_add(static_cast<std::uint64_t>(std::llround(seconds * 1e6)), RELAXED);
}

void Metrics::documentSaved(Document document, double unixSeconds) noexcept {
    SaveState& state = _saves[static_cast<std::size_t>(document)];
    state.lastSuccess.store(unixSeconds, RELAXED);
    state.lastFailed.store(false, RELAXED);
}

void Metrics::documentSaveFailed(Document document) noexcept {
    SaveState& state = _saves[static_cast<std::size_t>(document)];
    state.failures.fetch_add(1, RELAXED);
    state.lastFailed.store(true, RELAXED);
}

void Metrics::schedulerPassed(std::int64_t steadyNanoseconds) noexcept {
    _lastPass.store(steadyNanoseconds, RELAXED);
}

Metrics::Snapshot Metrics::snapshot() const noexcept {
    Snapshot out;
    for (std::size_t s = 0; s < SOURCES; ++s)
        for (std::size_t o = 0; o < OUTCOMES; ++o)
            out.plays[s][o] = _plays[s][o].load(RELAXED);
    std::uint64_t below = 0;
    for (std::size_t b = 0; b < LATENESS_BUCKETS.size(); ++b)
        out.latenessBuckets[b] = below += _lateness[b].load(RELAXED);
    out.latenessCount = below + _lateness.back().load(RELAXED);
    out.latenessSum = static_cast<double>(_latenessMicroseconds.load(RELAXED)) / 1e6;
    for (std::size_t d = 0; d < DOCUMENT_NAMES.size(); ++d)
        out.saves[d] = {_saves[d].lastSuccess.load(RELAXED), _saves[d].failures.load(RELAXED),
                        _saves[d].lastFailed.load(RELAXED)};
    out.lastPassNanoseconds = _lastPass.load(RELAXED);
    return out;
}

} // namespace tollwick
