#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <thread>

#include "runtime/winsock.h"
#include "web/http/socket_io.h"

namespace tollwick::web::net {

namespace {

SOCKET socketOf(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle handleOf(SOCKET socket) {
    return socket == INVALID_SOCKET ? NO_SOCKET : static_cast<SocketHandle>(socket);
}

// Sockets made with WSA_FLAG_NO_HANDLE_INHERIT stay out of the player programs that the system starts.
SOCKET newSocket(int type, int protocol) {
    if (!winsockReady())
        return INVALID_SOCKET;
    return ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

void setNonBlocking(SOCKET socket) {
    u_long on = 1;
    ::ioctlsocket(socket, FIONBIO, &on);
}

std::string addressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

// send and recv take an int length; larger requests are served in parts, as partial moves are.
int clampedLength(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, 1u << 30));
}

} // namespace

SocketHandle listenTcp(const std::string& host, int port, int& boundPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        return NO_SOCKET;
    const SOCKET s = newSocket(SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return NO_SOCKET;
    // Windows' SO_REUSEADDR would let another program take the port over; exclusive use keeps it ours.
    const BOOL on = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s, SOMAXCONN) != 0) {
        ::closesocket(s);
        return NO_SOCKET;
    }
    setNonBlocking(s);
    int length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ::ntohs(address.sin_port);
    return handleOf(s);
}

Accepted acceptClient(SocketHandle listener) {
    Accepted out;
    sockaddr_in address{};
    int length = sizeof address;
    const SOCKET s = ::accept(socketOf(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (s == INVALID_SOCKET) {
        out.error = ::WSAGetLastError();
        switch (out.error) {
        case WSAEWOULDBLOCK:
            out.outcome = AcceptOutcome::NONE_WAITING;
            break;
        case WSAEINTR:
        case WSAECONNRESET:
            out.outcome = AcceptOutcome::RETRY;
            break;
        case WSAEMFILE:
        case WSAENOBUFS:
            out.outcome = AcceptOutcome::OUT_OF_RESOURCES;
            break;
        default:
            out.outcome = AcceptOutcome::FAILED;
        }
        return out;
    }
    // An accepted socket takes the listener's blocking mode and inheritance; both are set again so
    // that nothing depends on it.
    setNonBlocking(s);
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // Answers go out in several writes; without this each would wait for the client's delayed
    // acknowledgement of the one before.
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    out.outcome = AcceptOutcome::ACCEPTED;
    out.socket = handleOf(s);
    out.peerAddress = addressText(address);
    out.peerPort = ::ntohs(address.sin_port);
    return out;
}

void localAddress(SocketHandle socket, std::string& address, int& port) {
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(socketOf(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return;
    address = addressText(local);
    port = ::ntohs(local.sin_port);
}

long receiveSome(SocketHandle socket, char* buffer, std::size_t size) {
    const int n = ::recv(socketOf(socket), buffer, clampedLength(size), 0);
    if (n != SOCKET_ERROR)
        return n;
    return wouldBlock(::WSAGetLastError()) ? WOULD_BLOCK : FAILED;
}

long sendSome(SocketHandle socket, const char* data, std::size_t size) {
    const int n = ::send(socketOf(socket), data, clampedLength(size), 0);
    if (n != SOCKET_ERROR)
        return n;
    return wouldBlock(::WSAGetLastError()) ? WOULD_BLOCK : FAILED;
}

void shutdownSending(SocketHandle socket) noexcept {
    ::shutdown(socketOf(socket), SD_SEND);
}

void closeSocket(SocketHandle socket) noexcept {
    if (socket != NO_SOCKET)
        ::closesocket(socketOf(socket));
}

int pollSockets(std::vector<PollEntry>& entries, std::chrono::milliseconds timeout) {
    // WSAPoll refuses entries without a socket and an empty set, where poll() skips the first and
    // waits on the second: both are left out here, and a wait on nothing is a plain pause.
    std::vector<WSAPOLLFD> fds;
    std::vector<std::size_t> entryOf;
    fds.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].readable = entries[i].writable = false;
        if (entries[i].socket == NO_SOCKET)
            continue;
        WSAPOLLFD fd{};
        fd.fd = socketOf(entries[i].socket);
        fd.events =
            static_cast<SHORT>((entries[i].wantRead ? POLLRDNORM : 0) | (entries[i].wantWrite ? POLLWRNORM : 0));
        fds.push_back(fd);
        entryOf.push_back(i);
    }
    if (fds.empty()) {
        if (timeout.count() > 0)
            std::this_thread::sleep_for(timeout);
        return 0;
    }
    const int ready = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()),
                                timeout.count() < 0 ? -1 : static_cast<INT>(timeout.count()));
    if (ready <= 0)
        return 0;
    for (std::size_t k = 0; k < fds.size(); ++k) {
        const SHORT got = fds[k].revents;
        PollEntry& entry = entries[entryOf[k]];
        entry.readable = (got & (POLLRDNORM | POLLRDBAND | POLLERR | POLLHUP | POLLNVAL)) != 0;
        entry.writable = (got & (POLLWRNORM | POLLERR | POLLHUP)) != 0;
    }
    return ready;
}

// Windows has no pipe that WSAPoll can wait on: a UDP socket on the loopback, connected to itself,
// carries the wake-ups instead. One socket serves as both ends.
Waker::Waker() {
    const SOCKET s = newSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(s);
        return;
    }
    setNonBlocking(s);
    _read = _write = handleOf(s);
}

Waker::~Waker() {
    closeSocket(_read);
}

void Waker::wake() noexcept {
    const char byte = 1;
    ::send(socketOf(_write), &byte, 1, 0); // a full buffer wakes all the same
}

void Waker::drain() noexcept {
    char buffer[256];
    while (::recv(socketOf(_read), buffer, sizeof buffer, 0) > 0) {
    }
}

// Winsock sets no per-process limit of sockets in the way POSIX limits descriptors; the front's
// own connection limits are the bound.
std::size_t openFileLimit() noexcept {
    return 16384;
}

} // namespace tollwick::web::net
