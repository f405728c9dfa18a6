#include "storage/store.h"

#include <spdlog/spdlog.h>

namespace tollwick {

namespace {

template <class T>
void saveIfChanged(StorageWrapper<T>& document, std::string_view what, std::string_view savedMessage,
                   const std::function<void(std::string_view, const std::exception&)>& onFailure) {
    try {
        if (document.saveAuto())
            spdlog::debug("{}", savedMessage);
    } catch (const std::exception& e) {
        onFailure(what, e);
    }
}

} // namespace

void saveChangedDocuments(Documents& docs,
                          const std::function<void(std::string_view what, const std::exception&)>& onFailure) {
    saveIfChanged(docs.db, "the database", "DB saved to disk", onFailure);
    saveIfChanged(docs.shadow, "the password store", "Shadow updated", onFailure);
    saveIfChanged(docs.cache, "the cache", "Cache saved", onFailure);
}

} // namespace tollwick
