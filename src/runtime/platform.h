#pragma once
// What the system needs to know about the operating system it runs on. Each platform supplies
// these in its own platform_<os>.cpp, so no other unit has to ask which platform it is.
#include <filesystem>

namespace tollwick {

// True on Windows, including a Windows build running under a POSIX layer (Cygwin); false elsewhere.
bool isWindows() noexcept;

// The running program's own file: absolute, symbolic links resolved. Throws Error when the
// operating system cannot say.
std::filesystem::path executablePath();

// The user's home directory, as "~" would expand. Throws Error when the user has none.
std::filesystem::path homeDirectory();

} // namespace tollwick
