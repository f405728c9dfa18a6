#pragma once
// Files: the way the system's own file work reaches the disk. The documents' writer, the play log,
// uploads, restores and the start-up clean-up take one, so that tests can make any of it fail as a
// full, broken or refusing disk does, or hang as a stalled one does. systemFiles() is the disk.
//
// A failure is an Error whose text names the file, the step and the system's words for the reason
// ("Cannot save <path>: writing: No space left on device"), and leaves what was there as it was.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick {

// A file read that tells a file that is not there from one that is there but cannot be read.
struct FileRead {
    enum class Outcome { READ, MISSING, UNREADABLE };
    Outcome outcome = Outcome::MISSING;
    std::string content; // when READ
    std::string reason;  // when UNREADABLE: the system's text for the failure
};

// A file being written bit by bit under a temporary name, which takes its final name only when it
// is complete (commitAs); until then, and when it never is, it is removed when the object goes.
class PendingFile {
public:
    virtual ~PendingFile() = default;
    virtual void append(std::string_view bytes) = 0;
    // Flushes the content to the disk and renames the file to `path` (in the same directory).
    virtual void commitAs(const std::filesystem::path& path) = 0;
    virtual const std::filesystem::path& path() const noexcept = 0;
};

struct DirectoryEntry {
    std::filesystem::path path;
    bool isRegularFile = false;
};

class Files {
public:
    virtual ~Files() = default;

    // The content written and flushed to a new temporary file beside `target`, named as
    // storage/temporary_names.h says; answers its path. On failure nothing is left behind.
    virtual std::filesystem::path writeBeside(const std::filesystem::path& target, std::string_view content,
                                              bool privateToUser) = 0;
    // Renames `from` over `target` and makes the rename reach the disk; `from` stays where it is
    // when that fails.
    virtual void renameOver(const std::filesystem::path& from, const std::filesystem::path& target) = 0;
    virtual FileRead read(const std::filesystem::path& path) = 0;
    // Answers whether there was a file to remove.
    virtual bool remove(const std::filesystem::path& path) = 0;
    // A new PendingFile in `directory`, its name beginning with "." and `prefix`.
    virtual std::unique_ptr<PendingFile> createTemporary(const std::filesystem::path& directory,
                                                         std::string_view prefix) = 0;
    // What is in `directory`; nothing when there is no such directory.
    virtual std::vector<DirectoryEntry> list(const std::filesystem::path& directory) = 0;
    // Adds `bytes` at the end of the file, which is made when it is not there. A failure may leave
    // part of them written.
    virtual void append(const std::filesystem::path& path, std::string_view bytes) = 0;
    // Makes the directory and those above it that are missing.
    virtual void createDirectories(const std::filesystem::path& directory) = 0;

    // Replaces the file at `target` by `content` so that a crash or power cut at any moment leaves
    // either the old file or the new one (see writeFileAtomically); on failure the old file stays
    // as it was and no temporary file is left.
    void writeAtomically(const std::filesystem::path& target, std::string_view content, bool privateToUser = false);
    // renameOver, removing `temporary` when that fails.
    void moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target);
    // remove, for clearing away: a failure counts as nothing removed.
    bool removeIfPossible(const std::filesystem::path& path) noexcept;
};

// The disk itself, for the whole process.
Files& systemFiles() noexcept;

} // namespace tollwick
