#pragma once
// The command line of the server.
#include <optional>
#include <string>
#include <vector>

namespace tollwick {

inline constexpr int DEFAULT_PORT = 2233;

struct CommandLine {
    int port = DEFAULT_PORT;
    bool noPopup = false; // never open the browser automatically
    bool verbose = false; // debug logging
    // Host names the server answers to besides IP addresses, localhost and the machine's own names.
    std::vector<std::string> allowedHosts;
};

// Parses the arguments after the program name, with `title` as the usage description. Help prints
// the usage and ends with status 0; an unknown option or a bad value prints the usage and the error
// and ends with status 2. `exitStatus` is set in both cases and the answer is then nothing.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, const std::string& title,
                                            int& exitStatus);

} // namespace tollwick
