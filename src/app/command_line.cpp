#include "app/command_line.h"

#include <CLI/CLI.hpp>

namespace tollwick {

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, const std::string& title,
                                            int& exitStatus) {
    CommandLine parsed;
    CLI::App app(title, "tollwick-player");
    app.add_flag("-v,--verbose", parsed.verbose);
    app.add_flag("--no-popup", parsed.noPopup);
    app.add_option("--port", parsed.port)->check(CLI::Range(1, 65535));
    app.add_option("--allowed-host", parsed.allowedHosts,
                   "a host name the server answers to (repeatable); also TOLLWICK_ALLOWED_HOSTS, comma-separated")
        ->type_name("NAME")
        ->expected(1)
        ->take_all();
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        exitStatus = app.exit(e);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        exitStatus = 2;
        return std::nullopt;
    }
    return parsed;
}

} // namespace tollwick
