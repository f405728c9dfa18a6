#include "runtime/process_end.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace tollwick {
namespace {

std::function<void()> savedBeforeExit; // set once, before the handler is installed
std::atomic<bool> ending{false};

// Runs on a thread Windows starts for the event. Closing the console window allows about five
// seconds before Windows ends the process itself, plenty for writing the documents.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    if (!ending.exchange(true)) {
        try {
            savedBeforeExit();
        } catch (...) {
        }
        // The exit status a console program has when Ctrl+C ends it.
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    }
    // A second event while the first is being handled waits for the end that is coming.
    ::Sleep(INFINITE);
    return TRUE;
}

} // namespace

void killOwnProcess() noexcept {
    // Windows has no SIGKILL: the process ends at once, with SIGTERM's number as its exit status.
    ::TerminateProcess(::GetCurrentProcess(), SIGTERM);
    ::_exit(SIGTERM);
}

void onTerminationRequest(std::function<void()> beforeExit) {
    savedBeforeExit = std::move(beforeExit);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

std::thread threadWithoutTerminationSignals(std::function<void()> body) {
    // Console events come on a thread Windows starts for them; no thread of ours receives them.
    return std::thread(std::move(body));
}

// Windows has no SIGPIPE: a write to a closed connection fails with an error anyway.
void ignoreBrokenPipes() noexcept {}

} // namespace tollwick
