#pragma once
// A disk that tests can break: Files that hand everything to the real ones (systemFiles()) until
// told to fail or to hang. A failing operation fails as the real one does: an Error whose text has
// the step and the system's words for the error number (ENOSPC, EIO, EACCES...), or for a read an
// unreadable file. A failing append first writes half its bytes, as a disk that fills up in the
// middle of a write does. A stall holds the operation for a time, or until the test heals the
// disk, and then lets it go on (or fail, when it fails too).
//
// Faults can be set and lifted while other threads use the files: a full disk that gets space back.
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "storage/files.h"

namespace tollwick::test {

class FaultyFiles : public Files {
public:
    // The operations a fault applies to; any combination.
    enum Operation : unsigned {
        WRITE = 1,  // writeBeside, and so writeAtomically
        RENAME = 2, // renameOver, and so writeAtomically and moveIntoPlace
        READ = 4,
        REMOVE = 8,
        TEMPORARY = 16, // creating, appending to and committing a PendingFile
        LIST = 32,
        APPEND = 64,
        MAKE_DIRECTORY = 128, // createDirectories
        ANY = 255,
    };

    explicit FaultyFiles(Files& real = systemFiles()) : _real(real) {}

    // From now on the `operations` on a path whose text contains `name` (on every path when `name`
    // is empty) fail with the error number `error`.
    void fail(unsigned operations, int error, std::string name = {});
    // From now on the `operations` on such paths hang for `time` before they go on.
    void stall(unsigned operations, std::chrono::milliseconds time, std::string name = {});
    // Lifts every fault and lets every stalled operation go on: the disk works again.
    void heal();

    // Operations that failed so far, and operations hanging in a stall now.
    int failures() const;
    int stalled() const;
    // Waits until at least `count` operations hang in a stall; false when `limit` passed first.
    bool waitForStalls(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

    std::filesystem::path writeBeside(const std::filesystem::path& target, std::string_view content,
                                      bool privateToUser) override;
    void renameOver(const std::filesystem::path& from, const std::filesystem::path& target) override;
    FileRead read(const std::filesystem::path& path) override;
    bool remove(const std::filesystem::path& path) override;
    std::unique_ptr<PendingFile> createTemporary(const std::filesystem::path& directory,
                                                 std::string_view prefix) override;
    std::vector<DirectoryEntry> list(const std::filesystem::path& directory) override;
    void append(const std::filesystem::path& path, std::string_view bytes) override;
    void createDirectories(const std::filesystem::path& directory) override;

    // Hangs when a stall applies to `operation` on `path`, then answers the error number it must
    // fail with (counted as a failure), or 0. For the pending files these Files make.
    int enter(Operation operation, const std::filesystem::path& path);

private:
    struct Fault {
        unsigned operations;
        std::string name;
        int error;                      // 0: a stall
        std::chrono::milliseconds time; // of a stall
    };

    Files& _real;
    mutable std::mutex _mutex; // guards the members below
    mutable std::condition_variable _changed;
    std::vector<Fault> _faults;
    unsigned long _heals = 0; // counts heal() calls, which end the stalls under way
    int _failures = 0;
    int _stalled = 0;
};

} // namespace tollwick::test
