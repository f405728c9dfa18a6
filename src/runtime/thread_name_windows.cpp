#include "runtime/thread_name.h"

namespace tollwick {

// Windows shows thread names only in debuggers; the log names every thread that reports.
void nameThisThread(const std::string&) noexcept {}

} // namespace tollwick
