#pragma once
// The figures the system keeps as things happen, for the monitoring answer: plays by source and
// outcome, how late the bells started, the saves of the documents and the scheduler's passes.
// Each is an atomic, so that keeping them costs the scheduler an increment, and reading them takes
// no lock that a bell waits for.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/play_log_entry.h"

namespace tollwick {

class Metrics {
public:
    // The upper bounds of the lateness histogram, in seconds.
    static constexpr std::array<double, 12> LATENESS_BUCKETS{0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                             0.1,   0.25,   0.5,   1.0,  2.5,   5.0};
    // The documents the writer saves, by the names the answer labels them with.
    enum class Document : std::size_t { DB, SHADOW, CACHE };
    static constexpr std::array<std::string_view, 3> DOCUMENT_NAMES{"db", "shadow", "cache"};
    static constexpr std::size_t SOURCES = EnumTexts<PlaySource>::texts.size();
    static constexpr std::size_t OUTCOMES = EnumTexts<PlayOutcome>::texts.size();

    // A play that ended, or was never started, with the outcome the play log gives it.
    void countPlay(PlaySource source, PlayOutcome outcome) noexcept;
    // A bell or programme began this long after its second.
    void observeLateness(double seconds) noexcept;
    void documentSaved(Document document, double unixSeconds) noexcept;
    void documentSaveFailed(Document document) noexcept;
    // The scheduler finished a pass at this time of the steady clock.
    void schedulerPassed(std::int64_t steadyNanoseconds) noexcept;

    struct Snapshot {
        std::array<std::array<std::uint64_t, OUTCOMES>, SOURCES> plays{};
        std::array<std::uint64_t, LATENESS_BUCKETS.size()> latenessBuckets{}; // cumulative, as Prometheus counts them
        std::uint64_t latenessCount = 0;
        double latenessSum = 0;
        struct Saves {
            double lastSuccess = 0; // unix seconds; 0 before the first save
            std::uint64_t failures = 0;
            bool lastFailed = false;
        };
        std::array<Saves, DOCUMENT_NAMES.size()> saves{};
        std::int64_t lastPassNanoseconds = 0; // steady clock; 0 before the first pass
    };
    Snapshot snapshot() const noexcept;

private:
    std::array<std::array<std::atomic<std::uint64_t>, OUTCOMES>, SOURCES> _plays{};
    std::array<std::atomic<std::uint64_t>, LATENESS_BUCKETS.size() + 1> _lateness{}; // the last: above all bounds
    std::atomic<std::uint64_t> _latenessMicroseconds{0};
    struct SaveState {
        std::atomic<double> lastSuccess{0};
        std::atomic<std::uint64_t> failures{0};
        std::atomic<bool> lastFailed{false};
    };
    std::array<SaveState, DOCUMENT_NAMES.size()> _saves{};
    std::atomic<std::int64_t> _lastPass{0};
};

} // namespace tollwick
