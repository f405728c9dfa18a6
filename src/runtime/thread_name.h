#pragma once
// The name the operating system shows for the calling thread (in top -H, ps -L, /proc), so that an
// administrator, and a test, can tell the scheduler from a playing thread.
#include <string>

namespace tollwick {

// Names the calling thread `name`, cut to what the system keeps (15 bytes on Linux). Does nothing
// where the system keeps no names.
void nameThisThread(const std::string& name) noexcept;

} // namespace tollwick
