#include "scheduling/clock_health.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/timex.h>

namespace tollwick {

namespace {

constexpr const char* ZONEINFO = "/usr/share/zoneinfo/";

// A name of the zone database: letters, digits and "/_+-", naming a file below ZONEINFO.
bool isZoneName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos)
        return false;
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '/' && c != '_' && c != '+' && c != '-')
            return false;
    std::error_code error;
    return std::filesystem::is_regular_file(std::string(ZONEINFO) + name, error);
}

// The zone name within a path of the zone database ("/usr/share/zoneinfo/Europe/Vienna").
std::optional<std::string> zoneOfPath(const std::string& path) {
    const auto at = path.find("zoneinfo/");
    if (at == std::string::npos)
        return std::nullopt;
    std::string name = path.substr(at + 9);
    return isZoneName(name) ? std::optional(name) : std::nullopt;
}

} // namespace

KernelClockState kernelClockState() {
    timex state{};
    state.modes = 0; // read only: any user may ask
    if (ntp_adjtime(&state) == -1)
        return {};
    // The kernel counts its maximum error in microseconds.
    return {(state.status & STA_UNSYNC) == 0, (static_cast<long long>(state.maxerror) + 999) / 1000};
}

std::optional<std::string> systemTimeZoneName() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (auto zone = zoneOfPath(name))
            return zone;
        // A rule such as "CET-1CEST" is no zone name.
        return isZoneName(name) ? std::optional(name) : std::nullopt;
    }
    if (std::ifstream file("/etc/timezone"); file) {
        std::string name;
        std::getline(file, name);
        if (isZoneName(name))
            return name;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error);
    return error ? std::nullopt : zoneOfPath(target.string());
}

} // namespace tollwick
