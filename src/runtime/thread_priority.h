#pragma once
// How far below the normal priority the calling thread runs, where the platform passes a thread's
// priority on to the threads and processes it starts.

namespace tollwick {

// The calling thread's nice value on POSIX systems, where a new thread or child process starts
// with the nice value of the thread that made it. 0 on Windows, where a new thread starts at
// normal priority and a child process takes the priority class of the process.
int inheritedThreadNiceness() noexcept;

} // namespace tollwick
