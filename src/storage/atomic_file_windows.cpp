#include "storage/atomic_file.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include "runtime/errors.h"
#include "runtime/wide_text.h"
#include "storage/temporary_names.h"

namespace tollwick {

namespace {

namespace fs = std::filesystem;

std::wstring temporaryPrefix(const fs::path& path) {
    return widen(temporaryPrefixOf(path));
}

[[noreturn]] void fail(const fs::path& path, const char* step, DWORD error) {
    throw Error("Cannot save " + narrow(path.wstring()) + ": " + step + ": " + windowsErrorText(error));
}

// A new file in `dir` named `prefix` and six random letters and digits, as the POSIX build names
// its temporary files, opened for writing. Others may read it (the sound of an upload is measured
// by name) but not write it.
HANDLE createTemporary(const fs::path& dir, const std::wstring& prefix, fs::path& temporary) {
    static constexpr wchar_t LETTERS[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(LETTERS) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = prefix;
        for (std::size_t i = 0; i < TEMPORARY_RANDOM_LENGTH; ++i)
            name += LETTERS[pick(random)];
        temporary = dir / name;
        const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

fs::path directoryOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(L".");
}

// Writes everything, in parts of at most 1 GiB (WriteFile takes a 32-bit count); answers the
// error or 0.
DWORD writeAll(HANDLE file, std::string_view rest) {
    while (!rest.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, rest.data(), chunk, &written, nullptr))
            return ::GetLastError();
        rest.remove_prefix(written);
    }
    return 0;
}

// Removes the files in `dir` whose names are `prefix` and six more characters.
void removeNamed(const fs::path& dir, const std::wstring& prefix) noexcept {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.size() == prefix.size() + TEMPORARY_RANDOM_LENGTH && name.starts_with(prefix))
            fs::remove(entry.path(), error);
    }
}

HANDLE handleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

// Files in the user-data directory are private to the user through the ACL they inherit from the
// profile, so `privateToUser` asks for nothing more here.
fs::path writeTemporaryBeside(const fs::path& path, std::string_view content, bool /*privateToUser*/) {
    fs::path temporary;
    const HANDLE file = createTemporary(directoryOf(path), temporaryPrefix(path), temporary);
    if (file == INVALID_HANDLE_VALUE)
        fail(path, "creating a temporary file", ::GetLastError());

    const char* step = nullptr;
    DWORD error = writeAll(file, content);
    if (error != 0)
        step = "writing";
    if (step == nullptr && !::FlushFileBuffers(file))
        error = ::GetLastError(), step = "flushing to disk";
    if (!::CloseHandle(file) && step == nullptr)
        error = ::GetLastError(), step = "closing";
    if (step != nullptr) {
        ::DeleteFileW(temporary.c_str());
        fail(path, step, error);
    }
    return temporary;
}

// WRITE_THROUGH: the call returns only once the new directory entry is on the disk too.
void renameOver(const fs::path& from, const fs::path& path) {
    if (!::MoveFileExW(from.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(path, "renaming into place", ::GetLastError());
}

void removeStaleTemporaryFiles(const fs::path& path) noexcept {
    removeNamed(directoryOf(path), temporaryPrefix(path));
}

FileRead readFileIfPresent(const fs::path& path) {
    FileRead out;
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return out; // MISSING
        out.outcome = FileRead::Outcome::UNREADABLE;
        out.reason = windowsErrorText(error);
        return out;
    }
    char buffer[65536];
    DWORD count = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0) && count > 0)
        out.content.append(buffer, count);
    const DWORD error = ok ? 0 : ::GetLastError();
    ::CloseHandle(file);
    if (!ok) {
        out.outcome = FileRead::Outcome::UNREADABLE;
        out.reason = windowsErrorText(error);
        out.content.clear();
        return out;
    }
    out.outcome = FileRead::Outcome::READ;
    return out;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file.
void appendToFile(const fs::path& path, std::string_view bytes) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        fail(path, "opening", ::GetLastError());
    DWORD error = writeAll(file, bytes);
    const char* step = error != 0 ? "appending" : nullptr;
    if (!::CloseHandle(file) && step == nullptr)
        error = ::GetLastError(), step = "closing";
    if (step != nullptr)
        fail(path, step, error);
}

TemporaryFile::TemporaryFile(const fs::path& directory, std::string_view prefix) {
    const std::wstring start = L"." + widen(prefix);
    fs::path temporary;
    const HANDLE file = createTemporary(directory, start, temporary);
    if (file == INVALID_HANDLE_VALUE)
        fail(directory / start, "creating a temporary file", ::GetLastError());
    _file = reinterpret_cast<std::intptr_t>(file);
    _path = temporary;
}

TemporaryFile::~TemporaryFile() {
    if (_file != -1)
        ::CloseHandle(handleOf(_file));
    if (!_path.empty())
        ::DeleteFileW(_path.c_str());
}

void TemporaryFile::append(std::string_view bytes) {
    if (const DWORD error = writeAll(handleOf(_file), bytes); error != 0)
        fail(_path, "writing", error);
}

void TemporaryFile::commitAs(const fs::path& path) {
    const HANDLE file = handleOf(_file);
    if (!::FlushFileBuffers(file))
        fail(path, "flushing to disk", ::GetLastError());
    const bool closed = ::CloseHandle(file) != 0;
    _file = -1;
    if (!closed)
        fail(path, "closing", ::GetLastError());
    if (!::MoveFileExW(_path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(path, "renaming into place", ::GetLastError());
    _path.clear();
}

std::optional<std::string> readWholeFile(const fs::path& path) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    DWORD count = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &count, nullptr) != 0) && count > 0)
        content.append(buffer, count);
    ::CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return content;
}

} // namespace tollwick
