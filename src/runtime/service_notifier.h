#pragma once
// Tells the service manager that started the process (systemd's notify protocol: datagrams on the
// socket named by NOTIFY_SOCKET) that the server is ready and that the scheduler is alive. A process
// started any other way has no socket to tell, and every operation does nothing.
#include <atomic>
#include <chrono>
#include <string>

namespace tollwick {

class ServiceNotifier {
public:
    // Tells nobody.
    ServiceNotifier() = default;
    // Tells the manager at `socket` (a path, or "@name" in the abstract namespace); keep-alives are
    // expected every `watchdogInterval`, or never when it is zero.
    ServiceNotifier(std::string socket, std::chrono::microseconds watchdogInterval);
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    // The manager that started this process, from NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID (a
    // watchdog meant for another process is not ours). Takes the three out of the environment, so
    // that the player programs this process starts are not taken for the service. Call it before
    // any other thread runs: changing the environment is not safe beside them.
    static ServiceNotifier fromEnvironment();

    // "READY=1": start-up is over and the server accepts connections.
    void ready() const noexcept;

    // "WATCHDOG=1", at most once per quarter of the watchdog interval, so that a keep-alive always
    // arrives within half of it. Only the scheduler loop calls it, after each pass: when the loop
    // stops passing, the keep-alives stop and the manager restarts the process. Not thread-safe.
    void watchdog() noexcept;

    const std::string& socket() const noexcept { return _socket; }
    std::chrono::microseconds watchdogInterval() const noexcept { return _watchdogInterval; }

private:
    void send(const char* message) const noexcept;

    std::string _socket;
    std::chrono::microseconds _watchdogInterval{0};
    std::chrono::steady_clock::time_point _lastKeepAlive{};
    // A manager that cannot be told is named in the log once, not at every keep-alive.
    mutable std::atomic<bool> _failureLogged{false};
};

// Sends `message` as one datagram to the notify socket `socket`. Throws Error when it cannot.
void sendServiceNotification(const std::string& socket, const std::string& message);

} // namespace tollwick
