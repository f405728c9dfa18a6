#pragma once
// The one process log: every line is the message text alone, on standard error.
namespace tollwick {

// Debug level with `verbose`, info otherwise.
void configureLogging(bool verbose);

} // namespace tollwick
