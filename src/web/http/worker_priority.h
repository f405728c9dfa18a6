#pragma once
// The threads that answer HTTP requests run below the normal priority, so that on a busy machine
// the scheduler and the playing threads are never kept from the processor by requests: a bell is
// on time however hard the interface is used.

namespace tollwick::web {

// Lowers the calling thread's priority below that of the system's other threads.
void lowerCurrentThreadPriority() noexcept;

} // namespace tollwick::web
