#include "runtime/platform.h"

#include "runtime/errors.h"
#include "runtime/wide_text.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace tollwick {

bool isWindows() noexcept {
    return true;
}

std::filesystem::path executablePath() {
    // The module name can be longer than MAX_PATH; the buffer grows until the whole name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            throw Error("cannot locate the running program: " + windowsErrorText(::GetLastError()));
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::filesystem::weakly_canonical(std::filesystem::path(buffer));
}

std::filesystem::path homeDirectory() {
    if (const wchar_t* profile = ::_wgetenv(L"USERPROFILE"); profile != nullptr && *profile != L'\0')
        return profile;
    const wchar_t* drive = ::_wgetenv(L"HOMEDRIVE");
    const wchar_t* path = ::_wgetenv(L"HOMEPATH");
    if (drive != nullptr && path != nullptr && *path != L'\0')
        return std::filesystem::path(std::wstring(drive) + path);
    throw Error("cannot find the home directory: neither USERPROFILE nor HOMEDRIVE and HOMEPATH are set");
}

} // namespace tollwick
