#pragma once
// Whole-file reads and crash-safe whole-file writes.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tollwick {

// Replaces the file at `path` by `content` so that a crash or power cut at any moment leaves
// either the old file or the new one, never a mixture: the content goes to a temporary file in the
// same directory, which is flushed to the disk and renamed over the target; the directory entry is
// synced too. On failure the temporary file is removed, the old file stays as it was, and an Error
// names the file and the reason.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content, bool privateToUser = false);

// The two halves of writeFileAtomically, for replacing several files once all of them are ready:
// the content written and flushed to a new temporary file beside `path` (whose path is answered),
// then that file renamed over `path` and the rename synced. On failure the temporary file is
// removed and an Error names the file and the reason.
std::filesystem::path writeTemporaryBeside(const std::filesystem::path& path, std::string_view content,
                                           bool privateToUser = false);
void moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& path);

// Removes the temporary files that writes of `path` left behind when the process died in the middle.
// Call it only while no write of `path` can be under way (at start-up).
void removeStaleTemporaryFiles(const std::filesystem::path& path) noexcept;

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

} // namespace tollwick
