#pragma once
// Clearing away what interrupted work left in the user-data directory.
#include <filesystem>

#include "storage/files.h"

namespace tollwick {

// Removes the temporary files of writes cut short (uploads, announcement downloads, document
// saves) and the files of announcements whose play the end of the process cut short; nothing
// refers to either. Logs how many it removed. Call at start-up, before anything writes there.
void removeLeftoverUserFiles(const std::filesystem::path& userDataDir, Files& files = systemFiles()) noexcept;

} // namespace tollwick
