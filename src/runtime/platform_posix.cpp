#include "runtime/platform.h"

#include "runtime/errors.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tollwick {

bool isWindows() noexcept {
#if defined(__CYGWIN__)
    return true;
#else
    return false;
#endif
}

std::filesystem::path executablePath() {
    // The kernel's link names the file actually running, already absolute and resolved,
    // whatever name or link the program was started through.
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        throw Error("cannot locate the running program: " + error.message());
    }
    return exe;
}

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    // Services often run without HOME; the account database still knows the directory.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return found->pw_dir;
    }
    throw Error("cannot find the home directory: HOME is not set and the user account names none");
}

} // namespace tollwick
