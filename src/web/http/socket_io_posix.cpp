#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "web/http/socket_io.h"

namespace tollwick::web::net {

namespace {

int fdOf(SocketHandle socket) {
    return static_cast<int>(socket);
}

void setNonBlockingAndPrivate(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

std::string addressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

} // namespace

SocketHandle listenTcp(const std::string& host, int port, int& boundPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        return NO_SOCKET;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return NO_SOCKET;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return NO_SOCKET;
    }
    setNonBlockingAndPrivate(fd);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return fd;
}

Accepted acceptClient(SocketHandle listener) {
    Accepted out;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int fd =
        ::accept4(fdOf(listener), reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        out.error = errno;
        switch (errno) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            out.outcome = AcceptOutcome::NONE_WAITING;
            break;
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case EPERM: // refused by a firewall rule
            out.outcome = AcceptOutcome::RETRY;
            break;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            out.outcome = AcceptOutcome::OUT_OF_RESOURCES;
            break;
        default:
            out.outcome = AcceptOutcome::FAILED;
        }
        return out;
    }
    // Answers go out in several writes; without this each would wait for the client's delayed
    // acknowledgement of the one before.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    out.outcome = AcceptOutcome::ACCEPTED;
    out.socket = fd;
    out.peerAddress = addressText(address);
    out.peerPort = ntohs(address.sin_port);
    return out;
}

void localAddress(SocketHandle socket, std::string& address, int& port) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fdOf(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return;
    address = addressText(local);
    port = ntohs(local.sin_port);
}

long receiveSome(SocketHandle socket, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::recv(fdOf(socket), buffer, size, 0);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? WOULD_BLOCK : FAILED;
    }
}

long sendSome(SocketHandle socket, const char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::send(fdOf(socket), data, size, MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? WOULD_BLOCK : FAILED;
    }
}

void shutdownSending(SocketHandle socket) noexcept {
    ::shutdown(fdOf(socket), SHUT_WR);
}

void closeSocket(SocketHandle socket) noexcept {
    if (socket != NO_SOCKET)
        ::close(fdOf(socket));
}

int pollSockets(std::vector<PollEntry>& entries, std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = fdOf(entries[i].socket);
        fds[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) | (entries[i].wantWrite ? POLLOUT : 0));
    }
    // A signal ends poll() early; the wait goes on for what is left of it, so that a caller never
    // takes an interrupted wait for a peer that did not answer in time.
    const auto until = std::chrono::steady_clock::now() + timeout;
    int ready = 0;
    for (;;) {
        int wait = -1;
        if (timeout.count() >= 0)
            wait = static_cast<int>(std::max<long long>(
                0, std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count()));
        ready = ::poll(fds.data(), fds.size(), wait);
        if (ready >= 0 || errno != EINTR)
            break;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short got = ready > 0 ? fds[i].revents : 0;
        entries[i].readable = (got & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
        entries[i].writable = (got & (POLLOUT | POLLERR | POLLHUP)) != 0;
    }
    return ready > 0 ? ready : 0;
}

Waker::Waker() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        _read = fds[0];
        _write = fds[1];
    }
}

Waker::~Waker() {
    closeSocket(_read);
    closeSocket(_write);
}

void Waker::wake() noexcept {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(fdOf(_write), &byte, 1); // a full pipe wakes all the same
}

void Waker::drain() noexcept {
    char buffer[256];
    while (::read(fdOf(_read), buffer, sizeof buffer) > 0) {
    }
}

std::size_t openFileLimit() noexcept {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace tollwick::web::net
