#include "storage/store.h"

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

    void write(const FailureHandler& onFailure, Files& files) {
        if (!change)
            return;
        try {
            StorageWrapper<T>::write(*change, files);
            written = true;
            spdlog::debug("{}", savedMessage);
        } catch (const std::exception& e) {
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

void saveChangedDocuments(Documents& docs, const FailureHandler& onFailure, Files& files) {
    Save<DB> db{docs.db, "the database", "DB saved to disk"};
    Save<Shadow> shadow{docs.shadow, "the password store", "Shadow updated"};
    Save<Cache> cache{docs.cache, "the cache", "Cache saved"};
    {
        std::scoped_lock lock(docs.mutex);
        db.take(onFailure);
        shadow.take(onFailure);
        cache.take(onFailure);
    }
    db.write(onFailure, files);
    shadow.write(onFailure, files);
    cache.write(onFailure, files);
    std::scoped_lock lock(docs.mutex);
    db.record();
    shadow.record();
    cache.record();
}

} // namespace tollwick
