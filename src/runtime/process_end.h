#pragma once
// Ending the process, and the last chance to save when it is asked to end.
#include <functional>
#include <thread>

namespace tollwick {

// Kills the own process without any clean-up (SIGKILL where the platform has it).
[[noreturn]] void killOwnProcess() noexcept;

// From now on SIGINT and SIGTERM (Ctrl+C, a service manager) run `beforeExit` once on a thread of
// their own and then end the process as the signal would have. Call before starting other threads,
// so that none of them receives the signals itself.
void onTerminationRequest(std::function<void()> beforeExit);

// From now on a write to a connection or pipe whose reader is gone fails with an error instead of
// ending the process (SIGPIPE is ignored where the platform has it). Children start with the
// default again.
void ignoreBrokenPipes() noexcept;

// Runs `body` on a new thread that never receives SIGINT or SIGTERM itself, also when it is made
// before onTerminationRequest: such a signal delivered to it would end the process unsaved.
std::thread threadWithoutTerminationSignals(std::function<void()> body);

} // namespace tollwick
