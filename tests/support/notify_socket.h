#pragma once
// A stand-in for systemd's notify socket: an AF_UNIX datagram socket that records what a process
// tells its service manager.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tollwick::test {

class NotifySocket {
public:
    // Bound at `address`: a path, or "@name" in Linux's abstract namespace, as NOTIFY_SOCKET names it.
    explicit NotifySocket(std::string address);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // The value of NOTIFY_SOCKET for a process that should notify this socket.
    const std::string& address() const { return _address; }

    // The next message, or nothing when none arrives within `timeout`.
    std::optional<std::string> receive(std::chrono::milliseconds timeout);

private:
    std::string _address;
    int _fd = -1;
};

} // namespace tollwick::test
