#pragma once
// The three stored documents of a running system and the one mutex that guards them.
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>

#include "storage/documents.h"
#include "storage/shadow.h"
#include "storage/storage_wrapper.h"

namespace tollwick {

struct Documents {
    // Guards db, cache and shadow: every read or change of them, and every save, happens with it
    // held. Never hold it across a network request, a sleep or the playing of a file.
    std::mutex mutex;

    StorageWrapper<DB> db;
    StorageWrapper<Cache> cache;
    StorageWrapper<Shadow> shadow;
};

// Writes every document whose content changed since it was last written. A document that cannot be
// written is handed to `onFailure` (with "the database", "the password store" or "the cache") and
// tried again next time; it does not keep the others from being written. Expects the mutex held.
void saveChangedDocuments(Documents& docs,
                          const std::function<void(std::string_view what, const std::exception&)>& onFailure);

} // namespace tollwick
