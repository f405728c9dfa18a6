#pragma once
// The writer thread: brings every changed document to its file soon after the change, so that no
// other thread, the scheduler least of all, ever waits for a disk. It sleeps until a document is
// handed out for change (the documents' change signal), or until a failed write is due to be tried
// again, and holds the document mutex only to copy what changed.
#include <array>
#include <chrono>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "storage/store.h"

namespace tollwick {

class DocumentWriter {
public:
    // How long after a failed write the writer tries again.
    static constexpr std::chrono::seconds RETRY_PERIOD{1};

    // Writes `docs` to `files`.
    // `metrics`, when given, counts each save and failure, and must outlive the writer.
    explicit DocumentWriter(Documents& docs, Files& files = systemFiles(), Metrics* metrics = nullptr)
        : _docs(docs), _files(files), _metrics(metrics) {}
    DocumentWriter(const DocumentWriter&) = delete;
    DocumentWriter& operator=(const DocumentWriter&) = delete;
    // Stops the thread and waits for it; what changed since its last look stays unwritten.
    ~DocumentWriter();

    // Stops the thread, waits for it and then writes what changed since its last look, as flush
    // does. For a system that is stopped rather than killed.
    void stop() noexcept;

    // Starts the writer thread. Call once, after the documents are loaded and their content
    // recorded as written (StorageWrapper::rememberContent).
    void start();

    // Writes every changed document now, on the calling thread, after a write under way has
    // finished. Failures are logged as "Could not save <what> before exiting: <reason>". For the
    // process end; safe while the thread runs.
    void flush() noexcept;

    // Writes every changed document now, on the calling thread, after a write under way has
    // finished; answers whether every one could be written. A failure is logged, and the thread
    // tries again as after any failed write. For changes that must be on disk before they are
    // answered; safe while the thread runs.
    bool saveNow() noexcept;

private:
    void run() noexcept;
    void stopThread() noexcept;
    // Sleeps until a document changed since the look that saw `seen`, a failed write is due to be
    // tried again, or the writer stops.
    void waitForWork(const std::array<std::uint64_t, 3>& seen,
                     std::optional<std::chrono::steady_clock::time_point> retryAt);
    // Expects _writeMutex held.
    bool dueForLook() const;
    void writeChanges(std::string_view failureSuffix);

    Documents& _docs;
    Files& _files;
    Metrics* _metrics;

    // One save at a time, so that an older copy of a document never lands after a newer one.
    // Also guards _seenTouches, _failed and _retryAt.
    std::mutex _writeMutex;
    std::array<std::uint64_t, 3> _seenTouches{};
    bool _failed = false;
    std::chrono::steady_clock::time_point _retryAt;

    std::atomic<bool> _stopping{false};
    std::thread _thread;
};

} // namespace tollwick
