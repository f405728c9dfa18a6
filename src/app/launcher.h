#pragma once
// What a launcher (a tray front end or a plain command) calls: start the system, stop it, show its
// pages, find its icon.
#include <optional>
#include <string>
#include <vector>

#include "model/json.h"

namespace tollwick {

// Runs the whole system on the calling thread: parses `args` (the arguments after the program name),
// sets up logging, refuses a port already taken, loads the documents, starts the scheduler and serves
// HTTP until the process ends. Answers only when start-up fails, with the process exit status.
int start(bool isTray = false, const std::vector<std::string>& args = {});

// Ends the process at once: nothing is saved, no thread is joined.
[[noreturn]] void stop();

// Opens the interface's root page, or its welcome page, in the user's browser.
void openDashboard();
void openWelcome();
void _openBrowser(const std::string& subpage = "");

// The interface's icon.
std::string getIconPath();

// The answer of the get target `target` of the running system, as its own interface would have it
// with the login: for a launcher in the same process. None until the system serves, or when the
// target fails.
std::optional<Json> askRunningSystem(const std::string& target);

// The name of the log file of a tray start, in the directory "log" of the user-data directory.
inline constexpr const char* LOG_FILE_NAME = "tollwick-player.log";

// The port in use and whether a tray front end started the process.
int launchPort() noexcept;
bool launchedFromTray() noexcept;

} // namespace tollwick
