#include "silent_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

namespace tollwick::test {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// A socket bound to 127.0.0.1 on a port the system picks; answers the socket and the port.
std::pair<int, int> boundSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        fail("socket");
    sockaddr_in address = loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        fail("bind");
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail("getsockname");
    return {fd, ntohs(address.sin_port)};
}

} // namespace

int closedLoopbackPort() {
    const auto [fd, port] = boundSocket();
    ::close(fd);
    return port;
}

SilentListener::SilentListener(bool fillQueue) {
    std::tie(_socket, _port) = boundSocket();
    // Backlog 0: the system keeps a single completed connection waiting and drops later attempts.
    if (::listen(_socket, fillQueue ? 0 : 16) != 0)
        fail("listen");
    if (!fillQueue)
        return;
    const sockaddr_in address = loopback(_port);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (filler < 0)
        fail("socket");
    _fillers.push_back(filler);
    if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail("connect");
    // Let the completed connection settle into the queue before the test connects.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

SilentListener::~SilentListener() {
    for (const int fd : _fillers)
        ::close(fd);
    ::close(_socket);
}

} // namespace tollwick::test
