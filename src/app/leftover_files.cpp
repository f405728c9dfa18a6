#include "app/leftover_files.h"

#include <spdlog/spdlog.h>

#include "model/audio_file_name.h"
#include "storage/temporary_names.h"

namespace tollwick {

namespace {

bool isLeftover(const std::string& name) {
    return isTemporaryFileName(name) || isUploadFileName(name) ||
           (name.starts_with(ANNOUNCEMENT_FILE_PREFIX) && name.ends_with(".mp3"));
}

} // namespace

void removeLeftoverUserFiles(const std::filesystem::path& userDataDir, Files& files) noexcept {
    try {
        int removed = 0;
        for (const DirectoryEntry& entry : files.list(userDataDir))
            if (entry.isRegularFile && isLeftover(entry.path.filename().string()) && files.removeIfPossible(entry.path))
                ++removed;
        if (removed > 0)
            spdlog::info("Removed {} files left behind by interrupted work in {}", removed, userDataDir.string());
    } catch (const std::exception& e) {
        spdlog::warn("Could not clear away leftover files in {}: {}", userDataDir.string(), e.what());
    }
}

} // namespace tollwick
