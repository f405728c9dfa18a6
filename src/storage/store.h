#pragma once
// The three stored documents of a running system and the one mutex that guards them.
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>

#include "model/metrics.h"
#include "runtime/priority_mutex.h"
#include "storage/documents.h"
#include "storage/shadow.h"
#include "storage/storage_wrapper.h"

namespace tollwick {

struct Documents {
    // Guards db, cache and shadow: every read or change of them happens with it held. Never hold
    // it across a network request, a sleep, a file write or the playing of a file. The scheduler
    // takes it every second, so a request worker that holds it is lifted to the scheduler's priority.
    PriorityInheritingMutex mutex;

    // Rung on every change of a document (StorageWrapper::edit); the writer waits for it.
    ChangeSignal changes;

    StorageWrapper<DB> db{&changes};
    StorageWrapper<Cache> cache{&changes};
    StorageWrapper<Shadow> shadow{&changes};
};

// Writes every document whose content changed since it was last written, in the order db, shadow,
// cache, to `files`. Takes the mutex itself, only to copy the changed documents and later to record
// them as written; encoding and writing happen outside it, so nobody waits for the disk. A document
// that cannot be written is handed to `onFailure` (with "the database", "the password store" or
// "the cache") and stays changed, so the next call tries again; it does not keep the others from
// being written. Each save and failure is counted in `metrics`, when given. Calls must not overlap:
// one may finish after a later one and leave older content.
void saveChangedDocuments(Documents& docs,
                          const std::function<void(std::string_view what, const std::exception&)>& onFailure,
                          Files& files = systemFiles(), Metrics* metrics = nullptr);

} // namespace tollwick
