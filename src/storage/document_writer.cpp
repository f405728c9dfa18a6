#include "storage/document_writer.h"

#include <spdlog/spdlog.h>

namespace tollwick {

namespace {

std::array<std::uint64_t, 3> touchesOf(const Documents& docs) {
    return {docs.db.touches(), docs.shadow.touches(), docs.cache.touches()};
}

} // namespace

DocumentWriter::~DocumentWriter() {
    stopThread();
}

void DocumentWriter::stopThread() noexcept {
    _stopping = true;
    _docs.changes.ring();
    if (_thread.joinable())
        _thread.join();
}

void DocumentWriter::stop() noexcept {
    stopThread();
    flush();
}

void DocumentWriter::start() {
    {
        std::scoped_lock writing(_writeMutex);
        _seenTouches = touchesOf(_docs);
    }
    _thread = std::thread([this] { run(); });
}

void DocumentWriter::flush() noexcept {
    try {
        std::scoped_lock writing(_writeMutex);
        writeChanges(" before exiting");
    } catch (const std::exception& e) {
        spdlog::error("Could not save the documents before exiting: {}", e.what());
    }
}

bool DocumentWriter::saveNow() noexcept {
    try {
        std::scoped_lock writing(_writeMutex);
        writeChanges("");
        return !_failed;
    } catch (const std::exception& e) {
        spdlog::error("Could not save the documents: {}", e.what());
        return false;
    }
}

void DocumentWriter::run() noexcept {
    for (;;) {
        std::array<std::uint64_t, 3> seen;
        std::optional<std::chrono::steady_clock::time_point> retryAt;
        {
            std::scoped_lock writing(_writeMutex);
            seen = _seenTouches;
            if (_failed)
                retryAt = _retryAt;
        }
        waitForWork(seen, retryAt);
        if (_stopping)
            return;
        try {
            std::scoped_lock writing(_writeMutex);
            if (dueForLook())
                writeChanges("");
        } catch (const std::exception& e) {
            spdlog::error("Document writer error: {}", e.what());
        }
    }
}

void DocumentWriter::waitForWork(const std::array<std::uint64_t, 3>& seen,
                                 std::optional<std::chrono::steady_clock::time_point> retryAt) {
    _docs.changes.waitUntil([&] { return _stopping || touchesOf(_docs) != seen; }, retryAt);
}

bool DocumentWriter::dueForLook() const {
    return touchesOf(_docs) != _seenTouches || (_failed && std::chrono::steady_clock::now() >= _retryAt);
}

void DocumentWriter::writeChanges(std::string_view failureSuffix) {
    // Taken before the look, so that a change made during it is looked at again next time.
    _seenTouches = touchesOf(_docs);
    _failed = false;
    saveChangedDocuments(
        _docs,
        [&](std::string_view what, const std::exception& e) {
            _failed = true;
            spdlog::error("Could not save {}{}: {}", what, failureSuffix, e.what());
        },
        _files, _metrics);
    if (_failed)
        _retryAt = std::chrono::steady_clock::now() + RETRY_PERIOD;
}

} // namespace tollwick
