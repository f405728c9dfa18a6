#include "runtime/process_stats.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tollwick {

namespace {

// The process's start in seconds after boot, field 22 of /proc/self/stat, in clock ticks.
std::optional<double> startTimeOfThisProcess() {
    std::ifstream statFile("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(statFile)), {});
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    unsigned long long ticks = 0;
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    if (!(fields >> ticks) || !(uptimeFile >> uptime))
        return std::nullopt;
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return now - uptime + static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<std::uint64_t> residentBytesOfThisProcess() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    if (!(statm >> size >> resident))
        return std::nullopt;
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

std::optional<std::uint64_t> openFilesOfThisProcess() {
    std::error_code error;
    std::uint64_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error))
        ++count;
    if (error)
        return std::nullopt;
    return count > 0 ? count - 1 : 0; // less the descriptor that lists them
}

} // namespace

ProcessStats processStats() {
    return {startTimeOfThisProcess(), residentBytesOfThisProcess(), openFilesOfThisProcess()};
}

std::optional<std::uint64_t> freeBytesOf(const std::string& directory) {
    struct statvfs fs {};
    if (::statvfs(directory.c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace tollwick
