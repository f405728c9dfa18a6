#include "storage/files.h"

#include <system_error>

#include "runtime/errors.h"
#include "storage/atomic_file.h"

namespace tollwick {

namespace {

namespace fs = std::filesystem;

// The platform's own file primitives (atomic_file_posix.cpp, atomic_file_windows.cpp).
class SystemFiles : public Files {
public:
    fs::path writeBeside(const fs::path& target, std::string_view content, bool privateToUser) override {
        return writeTemporaryBeside(target, content, privateToUser);
    }

    void renameOver(const fs::path& from, const fs::path& target) override { tollwick::renameOver(from, target); }

    FileRead read(const fs::path& path) override { return readFileIfPresent(path); }

    bool remove(const fs::path& path) override {
        std::error_code error;
        const bool removed = fs::remove(path, error);
        if (error)
            throw Error("Cannot remove " + path.string() + ": " + error.message());
        return removed;
    }

    std::unique_ptr<PendingFile> createTemporary(const fs::path& directory, std::string_view prefix) override {
        return std::make_unique<TemporaryFile>(directory, prefix);
    }

    std::vector<DirectoryEntry> list(const fs::path& directory) override {
        std::vector<DirectoryEntry> entries;
        std::error_code error;
        fs::directory_iterator it(directory, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code ignored;
            entries.push_back({it->path(), it->is_regular_file(ignored)});
        }
        if (error && error != std::errc::no_such_file_or_directory)
            throw Error("Cannot list " + directory.string() + ": " + error.message());
        return entries;
    }

    void append(const fs::path& path, std::string_view bytes) override { appendToFile(path, bytes); }

    void createDirectories(const fs::path& directory) override {
        std::error_code error;
        fs::create_directories(directory, error);
        if (error)
            throw Error("Cannot make the directory " + directory.string() + ": " + error.message());
    }
};

} // namespace

void Files::writeAtomically(const fs::path& target, std::string_view content, bool privateToUser) {
    moveIntoPlace(writeBeside(target, content, privateToUser), target);
}

void Files::moveIntoPlace(const fs::path& temporary, const fs::path& target) {
    try {
        renameOver(temporary, target);
    } catch (...) {
        removeIfPossible(temporary);
        throw;
    }
}

bool Files::removeIfPossible(const fs::path& path) noexcept {
    try {
        return remove(path);
    } catch (const std::exception&) {
        return false;
    }
}

Files& systemFiles() noexcept {
    static SystemFiles files;
    return files;
}

void writeFileAtomically(const fs::path& path, std::string_view content, bool privateToUser) {
    systemFiles().writeAtomically(path, content, privateToUser);
}

void moveIntoPlace(const fs::path& temporary, const fs::path& path) {
    systemFiles().moveIntoPlace(temporary, path);
}

} // namespace tollwick
