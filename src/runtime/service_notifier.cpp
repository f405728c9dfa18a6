#include "runtime/service_notifier.h"

#include <spdlog/spdlog.h>

namespace tollwick {

ServiceNotifier::ServiceNotifier(std::string socket, std::chrono::microseconds watchdogInterval)
    : _socket(std::move(socket)), _watchdogInterval(_socket.empty() ? std::chrono::microseconds(0) : watchdogInterval) {
}

void ServiceNotifier::ready() const noexcept {
    send("READY=1");
}

void ServiceNotifier::watchdog() noexcept {
    if (_watchdogInterval <= std::chrono::microseconds(0))
        return;
    const auto now = std::chrono::steady_clock::now();
    if (_lastKeepAlive != std::chrono::steady_clock::time_point{} && now - _lastKeepAlive < _watchdogInterval / 4)
        return;
    _lastKeepAlive = now;
    send("WATCHDOG=1");
}

void ServiceNotifier::send(const char* message) const noexcept {
    if (_socket.empty())
        return;
    try {
        sendServiceNotification(_socket, message);
    } catch (const std::exception& e) {
        if (!_failureLogged.exchange(true)) {
            try {
                spdlog::warn("Cannot notify the service manager at {}: {}", _socket, e.what());
            } catch (...) {
            }
        }
    }
}

} // namespace tollwick
