#include "storage/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/errors.h"
#include "storage/temporary_names.h"

namespace tollwick {

namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const char* step, int error) {
    throw Error("Cannot save " + path.string() + ": " + step + ": " + std::strerror(error));
}

// Writes everything, resuming after partial writes and interruptions; answers errno or 0.
int writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Reads all of `fd` into `content`; answers errno or 0. Closes `fd`.
int readAll(int fd, std::string& content) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : 0;
            ::close(fd);
            return error;
        }
        content.append(buf, static_cast<std::size_t>(n));
    }
}

void syncDirectory(const std::filesystem::path& dir) {
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

std::filesystem::path writeTemporaryBeside(const std::filesystem::path& path, std::string_view content,
                                           bool privateToUser) {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string tmpl = (dir / (temporaryPrefixOf(path) + "XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        fail(path, "creating a temporary file", errno);

    int error = 0;
    const char* step = nullptr;
    if (::fchmod(fd, privateToUser ? 0600 : 0644) != 0)
        error = errno, step = "setting permissions";
    else if ((error = writeAll(fd, content)) != 0)
        step = "writing";
    else if (::fsync(fd) != 0)
        error = errno, step = "flushing to disk";
    if (::close(fd) != 0 && !step)
        error = errno, step = "closing";
    if (step) {
        ::unlink(tmpl.c_str());
        fail(path, step, error);
    }
    return tmpl;
}

void renameOver(const std::filesystem::path& from, const std::filesystem::path& path) {
    if (::rename(from.c_str(), path.c_str()) != 0)
        fail(path, "renaming into place", errno);
    // The rename itself must reach the disk, or a power cut could bring back the old file.
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    syncDirectory(dir);
}

void removeStaleTemporaryFiles(const std::filesystem::path& path) noexcept {
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const std::string prefix = temporaryPrefixOf(path);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + TEMPORARY_RANDOM_LENGTH && name.starts_with(prefix))
            std::filesystem::remove(entry.path(), error);
    }
}

FileRead readFileIfPresent(const std::filesystem::path& path) {
    FileRead out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : readAll(fd, out.content);
    if (fd < 0 && error == ENOENT) {
        out.outcome = FileRead::Outcome::MISSING;
        return out;
    }
    if (error != 0) {
        out.outcome = FileRead::Outcome::UNREADABLE;
        out.reason = std::strerror(error);
        out.content.clear();
        return out;
    }
    out.outcome = FileRead::Outcome::READ;
    return out;
}

// The mode of a new file as std::ofstream gives it: what the umask leaves of 0666.
void appendToFile(const std::filesystem::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(path, "opening", errno);
    int error = writeAll(fd, bytes);
    const char* step = error != 0 ? "appending" : nullptr;
    if (::close(fd) != 0 && !step)
        error = errno, step = "closing";
    if (step)
        fail(path, step, error);
}

TemporaryFile::TemporaryFile(const std::filesystem::path& directory, std::string_view prefix) {
    std::string name = (directory / ("." + std::string(prefix) + "XXXXXX")).string();
    _file = ::mkostemp(name.data(), O_CLOEXEC);
    if (_file < 0)
        fail(directory / ("." + std::string(prefix)), "creating a temporary file", errno);
    _path = name;
}

TemporaryFile::~TemporaryFile() {
    if (_file >= 0)
        ::close(static_cast<int>(_file));
    if (!_path.empty())
        ::unlink(_path.c_str());
}

void TemporaryFile::append(std::string_view bytes) {
    if (const int error = writeAll(static_cast<int>(_file), bytes); error != 0)
        fail(_path, "writing", error);
}

void TemporaryFile::commitAs(const std::filesystem::path& path) {
    const int fd = static_cast<int>(_file);
    if (::fchmod(fd, 0644) != 0)
        fail(path, "setting permissions", errno);
    if (::fsync(fd) != 0)
        fail(path, "flushing to disk", errno);
    const int closing = ::close(fd);
    _file = -1;
    if (closing != 0)
        fail(path, "closing", errno);
    if (::rename(_path.c_str(), path.c_str()) != 0)
        fail(path, "renaming into place", errno);
    _path.clear();
    syncDirectory(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

} // namespace tollwick
