#pragma once
// Running another program to completion and collecting what it wrote.
#include <string>
#include <vector>

namespace tollwick {

struct ProcessOutput {
    // The exit code of a program that exited; minus the signal number of one killed by a signal.
    int exitStatus = 0;
    std::string out;
    std::string err;
};

// Runs argv[0], looked up on PATH, with argv as its argument vector: no shell, the current
// working directory, input from the null device, the default disposition for every signal and
// none blocked. Waits for it to end. Throws Error when the program cannot be started at all; a
// program that starts and fails is reported through exitStatus only.
ProcessOutput runProcess(const std::vector<std::string>& argv);

} // namespace tollwick
