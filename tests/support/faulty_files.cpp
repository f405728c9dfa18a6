#include "support/faulty_files.h"

#include <optional>
#include <system_error>

#include "runtime/errors.h"

namespace tollwick::test {

namespace {

namespace fs = std::filesystem;

std::string reasonOf(int error) {
    return std::generic_category().message(error);
}

[[noreturn]] void failSave(const fs::path& path, const char* step, int error) {
    throw Error("Cannot save " + path.string() + ": " + step + ": " + reasonOf(error));
}

class FaultyPendingFile : public PendingFile {
public:
    FaultyPendingFile(FaultyFiles& disk, std::unique_ptr<PendingFile> real) : _disk(disk), _real(std::move(real)) {}

    void append(std::string_view bytes) override {
        if (const int error = _disk.enter(FaultyFiles::TEMPORARY, _real->path()))
            failSave(_real->path(), "writing", error);
        _real->append(bytes);
    }

    void commitAs(const fs::path& path) override {
        if (const int error = _disk.enter(FaultyFiles::TEMPORARY, path))
            failSave(path, "flushing to disk", error);
        _real->commitAs(path);
    }

    const fs::path& path() const noexcept override { return _real->path(); }

private:
    FaultyFiles& _disk;
    std::unique_ptr<PendingFile> _real;
};

} // namespace

void FaultyFiles::fail(unsigned operations, int error, std::string name) {
    std::scoped_lock lock(_mutex);
    _faults.push_back({operations, std::move(name), error, {}});
}

void FaultyFiles::stall(unsigned operations, std::chrono::milliseconds time, std::string name) {
    std::scoped_lock lock(_mutex);
    _faults.push_back({operations, std::move(name), 0, time});
}

void FaultyFiles::heal() {
    {
        std::scoped_lock lock(_mutex);
        _faults.clear();
        ++_heals;
    }
    _changed.notify_all();
}

int FaultyFiles::failures() const {
    std::scoped_lock lock(_mutex);
    return _failures;
}

int FaultyFiles::stalled() const {
    std::scoped_lock lock(_mutex);
    return _stalled;
}

bool FaultyFiles::waitForStalls(int count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(_mutex);
    return _changed.wait_for(lock, limit, [&] { return _stalled >= count; });
}

int FaultyFiles::enter(Operation operation, const fs::path& path) {
    const std::string text = path.string();
    const auto applies = [&](const Fault& fault) {
        return (fault.operations & operation) != 0 && text.find(fault.name) != std::string::npos;
    };
    std::unique_lock lock(_mutex);
    std::optional<std::chrono::milliseconds> stallTime;
    for (const Fault& fault : _faults)
        if (fault.error == 0 && applies(fault)) {
            stallTime = fault.time;
            break;
        }
    if (stallTime) {
        const auto until = std::chrono::steady_clock::now() + *stallTime;
        const unsigned long heals = _heals;
        ++_stalled;
        _changed.notify_all();
        _changed.wait_until(lock, until, [&] { return _heals != heals; });
        --_stalled;
    }
    for (const Fault& fault : _faults)
        if (fault.error != 0 && applies(fault)) {
            ++_failures;
            return fault.error;
        }
    return 0;
}

fs::path FaultyFiles::writeBeside(const fs::path& target, std::string_view content, bool privateToUser) {
    if (const int error = enter(WRITE, target))
        failSave(target, "writing", error);
    return _real.writeBeside(target, content, privateToUser);
}

void FaultyFiles::renameOver(const fs::path& from, const fs::path& target) {
    if (const int error = enter(RENAME, target))
        failSave(target, "renaming into place", error);
    _real.renameOver(from, target);
}

FileRead FaultyFiles::read(const fs::path& path) {
    if (const int error = enter(READ, path))
        return FileRead{FileRead::Outcome::UNREADABLE, {}, reasonOf(error)};
    return _real.read(path);
}

bool FaultyFiles::remove(const fs::path& path) {
    if (const int error = enter(REMOVE, path))
        throw Error("Cannot remove " + path.string() + ": " + reasonOf(error));
    return _real.remove(path);
}

std::unique_ptr<PendingFile> FaultyFiles::createTemporary(const fs::path& directory, std::string_view prefix) {
    const fs::path start = directory / ("." + std::string(prefix));
    if (const int error = enter(TEMPORARY, start))
        failSave(start, "creating a temporary file", error);
    return std::make_unique<FaultyPendingFile>(*this, _real.createTemporary(directory, prefix));
}

std::vector<DirectoryEntry> FaultyFiles::list(const fs::path& directory) {
    if (const int error = enter(LIST, directory))
        throw Error("Cannot list " + directory.string() + ": " + reasonOf(error));
    return _real.list(directory);
}

void FaultyFiles::append(const fs::path& path, std::string_view bytes) {
    if (const int error = enter(APPEND, path)) {
        _real.append(path, bytes.substr(0, bytes.size() / 2));
        failSave(path, "appending", error);
    }
    _real.append(path, bytes);
}

void FaultyFiles::createDirectories(const fs::path& directory) {
    if (const int error = enter(MAKE_DIRECTORY, directory))
        throw Error("Cannot make the directory " + directory.string() + ": " + reasonOf(error));
    _real.createDirectories(directory);
}

} // namespace tollwick::test
