#pragma once
// How the calling thread's priority stands against the other threads of the machine, and what the
// threads and processes it starts inherit of it.

namespace tollwick {

// The calling thread's nice value on POSIX systems, where a new thread or child process starts
// with the nice value of the thread that made it. 0 on Windows, where a new thread starts at
// normal priority and a child process takes the priority class of the process.
int inheritedThreadNiceness() noexcept;

// Lifts the calling thread above every thread of normal priority on the machine, so that it runs
// as soon as it wakes, whatever else is busy: a low real-time priority on Linux, where the process
// may take one (as root, with CAP_SYS_NICE or within its RLIMIT_RTPRIO), and the highest priority
// of the process's class on Windows. The threads and programs it starts afterwards run at normal
// priority unless they are started at it on purpose (SpawnSettings). Answers false, and leaves the
// thread as it was, where the system refuses. Meant for a thread that sleeps nearly all the time:
// while it runs, normal threads wait.
bool raiseToTimeCriticalPriority() noexcept;

} // namespace tollwick
