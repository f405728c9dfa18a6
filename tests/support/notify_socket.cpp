#include "support/notify_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tollwick::test {

NotifySocket::NotifySocket(std::string address) : _address(std::move(address)) {
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    if (_address.empty() || _address.size() >= sizeof name.sun_path)
        throw std::invalid_argument("unusable socket address: " + _address);
    std::memcpy(name.sun_path, _address.data(), _address.size());
    if (_address.front() == '@')
        name.sun_path[0] = '\0';
    _fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + _address.size());
    if (_fd < 0 || ::bind(_fd, reinterpret_cast<sockaddr*>(&name), length) != 0)
        throw std::runtime_error("cannot bind " + _address + ": " + std::strerror(errno));
}

NotifySocket::~NotifySocket() {
    ::close(_fd);
    if (_address.front() != '@')
        ::unlink(_address.c_str());
}

std::optional<std::string> NotifySocket::receive(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd waiting{_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready == 1)
            break;
        if (ready == 0 || errno != EINTR)
            return std::nullopt;
    }
    char buffer[4096];
    const ssize_t size = ::recv(_fd, buffer, sizeof buffer, 0);
    if (size < 0)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(size));
}

} // namespace tollwick::test
