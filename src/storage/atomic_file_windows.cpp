#include "storage/atomic_file.h"

#include <windows.h>

#include <random>

#include "runtime/errors.h"
#include "runtime/wide_text.h"

namespace tollwick {

namespace {

namespace fs = std::filesystem;

std::wstring temporaryPrefix(const fs::path& path) {
    return L"." + path.filename().wstring() + L".tmp-";
}

[[noreturn]] void fail(const fs::path& path, const char* step, DWORD error) {
    throw Error("Cannot save " + narrow(path.wstring()) + ": " + step + ": " + windowsErrorText(error));
}

// A new file beside the target, named like the POSIX build's temporary files (six random
// letters and digits after the prefix), opened for writing and shared with nobody.
HANDLE createTemporary(const fs::path& path, fs::path& temporary) {
    static constexpr wchar_t LETTERS[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(LETTERS) - 2);
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(L".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = temporaryPrefix(path);
        for (int i = 0; i < 6; ++i)
            name += LETTERS[pick(random)];
        temporary = dir / name;
        const HANDLE file =
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

// Files in the user-data directory are private to the user through the ACL they inherit from the
// profile, so `privateToUser` asks for nothing more here.
fs::path writeTemporaryBeside(const fs::path& path, std::string_view content, bool /*privateToUser*/) {
    fs::path temporary;
    const HANDLE file = createTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        fail(path, "creating a temporary file", ::GetLastError());

    DWORD error = 0;
    const char* step = nullptr;
    std::string_view rest = content;
    while (!rest.empty() && step == nullptr) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, rest.data(), chunk, &written, nullptr))
            error = ::GetLastError(), step = "writing";
        rest.remove_prefix(written);
    }
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
void moveIntoPlace(const fs::path& temporary, const fs::path& path) {
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        fail(path, "renaming into place", error);
    }
}

void writeFileAtomically(const fs::path& path, std::string_view content, bool privateToUser) {
    moveIntoPlace(writeTemporaryBeside(path, content, privateToUser), path);
}

void removeStaleTemporaryFiles(const fs::path& path) noexcept {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(L".");
    const std::wstring prefix = temporaryPrefix(path);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            fs::remove(entry.path(), error);
    }
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
