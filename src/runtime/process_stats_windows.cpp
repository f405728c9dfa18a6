#include "runtime/process_stats.h"

#include "runtime/wide_text.h"

#include <windows.h>

#include <psapi.h>

#include <chrono>

namespace tollwick {

ProcessStats processStats() {
    ProcessStats stats;
    HANDLE self = ::GetCurrentProcess();
    FILETIME created{}, exited{}, kernel{}, user{};
    if (::GetProcessTimes(self, &created, &exited, &kernel, &user)) {
        // FILETIME counts 100 ns from 1601; the unix epoch is 11644473600 s later.
        const auto ticks = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
        stats.startTime = static_cast<double>(ticks) / 1e7 - 11644473600.0;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (::GetProcessMemoryInfo(self, &memory, sizeof memory))
        stats.residentBytes = memory.WorkingSetSize;
    DWORD handles = 0;
    if (::GetProcessHandleCount(self, &handles))
        stats.openFiles = handles;
    return stats;
}

std::optional<std::uint64_t> freeBytesOf(const std::string& directory) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(widen(directory).c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

} // namespace tollwick
