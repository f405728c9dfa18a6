#pragma once
// Whole-file reads and crash-safe whole-file writes on the disk itself, one implementation per
// platform; systemFiles() (storage/files.h) is built on them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "storage/files.h"

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
// Renames `from` over `path` as moveIntoPlace does, but leaves `from` where it is when that fails:
// for putting back a file that has no other copy.
void renameOver(const std::filesystem::path& from, const std::filesystem::path& path);

// Removes the temporary files that writes of `path` left behind when the process died in the middle.
// Call it only while no write of `path` can be under way (at start-up).
void removeStaleTemporaryFiles(const std::filesystem::path& path) noexcept;

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

FileRead readFileIfPresent(const std::filesystem::path& path);

// Adds `bytes` at the end of the file at `path`, which is made when it is not there. On failure an
// Error names the file and the reason; part of the bytes may have been written.
void appendToFile(const std::filesystem::path& path, std::string_view bytes);

// A PendingFile on the disk, in a directory under a unique hidden name. Failures are Errors that
// name the file and the reason.
class TemporaryFile : public PendingFile {
public:
    // Creates the file in `directory`, its name beginning with "." and `prefix`.
    TemporaryFile(const std::filesystem::path& directory, std::string_view prefix);
    ~TemporaryFile() override;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void append(std::string_view bytes) override;
    void commitAs(const std::filesystem::path& path) override;

    const std::filesystem::path& path() const noexcept override { return _path; }

private:
    std::filesystem::path _path;
    std::intptr_t _file = -1; // the platform's descriptor or handle; -1: none
};

} // namespace tollwick
