#include "storage/store.h"

#include <chrono>
#include <optional>

#include <spdlog/spdlog.h>

namespace tollwick {

namespace {

using FailureHandler = std::function<void(std::string_view, const std::exception&)>;

// One document's way through a save: its change taken under the mutex, written outside it.
template <class T>
struct Save {
    StorageWrapper<T>& document;
    std::string_view what;
    std::string_view savedMessage;
    Metrics::Document counted;
    std::optional<typename StorageWrapper<T>::Change> change;
    bool written = false;

    // Expects the mutex held.
    void take(const FailureHandler& onFailure) {
        try {
            change = document.takeChange();
        } catch (const std::exception& e) {
            onFailure(what, e);
        }
    }

    void write(const FailureHandler& onFailure, Files& files, Metrics* metrics) {
        if (!change)
            return;
        try {
            StorageWrapper<T>::write(*change, files);
            written = true;
            spdlog::debug("{}", savedMessage);
            if (metrics)
                metrics->documentSaved(counted, std::chrono::duration<double>(
                                                    std::chrono::system_clock::now().time_since_epoch())
                                                    .count());
        } catch (const std::exception& e) {
            if (metrics)
                metrics->documentSaveFailed(counted);
            onFailure(what, e);
        }
    }

    // Expects the mutex held.
    void record() noexcept {
        if (written)
            document.markWritten(change->fingerprint);
    }
};

} // namespace

void saveChangedDocuments(Documents& docs, const FailureHandler& onFailure, Files& files, Metrics* metrics) {
    Save<DB> db{docs.db, "the database", "DB saved to disk", Metrics::Document::DB};
    Save<Shadow> shadow{docs.shadow, "the password store", "Shadow updated", Metrics::Document::SHADOW};
    Save<Cache> cache{docs.cache, "the cache", "Cache saved", Metrics::Document::CACHE};
    {
        std::scoped_lock lock(docs.mutex);
        db.take(onFailure);
        shadow.take(onFailure);
        cache.take(onFailure);
    }
    db.write(onFailure, files, metrics);
    shadow.write(onFailure, files, metrics);
    cache.write(onFailure, files, metrics);
    std::scoped_lock lock(docs.mutex);
    db.record();
    shadow.record();
    cache.record();
}

} // namespace tollwick
