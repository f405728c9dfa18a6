#pragma once
// The three stored documents of a running system and the one mutex that guards them.
#include <mutex>

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

} // namespace tollwick
