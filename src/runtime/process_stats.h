#pragma once
// What the operating system tells of this process and of the disk it keeps its data on, for the
// monitoring answer. Each figure is none where the platform cannot tell.
#include <cstdint>
#include <optional>
#include <string>

namespace tollwick {

struct ProcessStats {
    std::optional<double> startTime;           // unix seconds
    std::optional<std::uint64_t> residentBytes; // memory in use
    std::optional<std::uint64_t> openFiles;     // open file descriptors or handles
};

ProcessStats processStats();

// The bytes that this process may still write on the file system of `directory`.
std::optional<std::uint64_t> freeBytesOf(const std::string& directory);

} // namespace tollwick
