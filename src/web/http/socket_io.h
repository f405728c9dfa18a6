#pragma once
// The platform's TCP sockets, as far as the HTTP front needs them: a listening socket, accepting
// clients, non-blocking reads and writes, and waiting for several sockets at once. Every socket
// made here is non-blocking and not inherited by child processes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tollwick::web::net {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle NO_SOCKET = -1;

// Listens on host:port (IPv4; port 0: a free port the system chooses). Answers the socket and sets
// `boundPort`, or NO_SOCKET.
SocketHandle listenTcp(const std::string& host, int port, int& boundPort);

enum class AcceptOutcome {
    ACCEPTED,
    NONE_WAITING,     // nothing to accept now
    RETRY,            // a client gave up before it was accepted, or a signal interrupted: try again at once
    OUT_OF_RESOURCES, // descriptors or memory are exhausted: try again after a pause
    FAILED,           // anything else; the listening socket may still work later
};
struct Accepted {
    AcceptOutcome outcome = AcceptOutcome::FAILED;
    SocketHandle socket = NO_SOCKET;
    std::string peerAddress; // numeric, e.g. "127.0.0.1"
    int peerPort = 0;
    int error = 0; // the platform's error code for FAILED and OUT_OF_RESOURCES
};
Accepted acceptClient(SocketHandle listener);

// The address and port the socket is bound to on this machine.
void localAddress(SocketHandle socket, std::string& address, int& port);

// > 0: bytes moved; 0: the peer closed (receive only); WOULD_BLOCK; FAILED.
inline constexpr long WOULD_BLOCK = -1;
inline constexpr long FAILED = -2;
long receiveSome(SocketHandle socket, char* buffer, std::size_t size);
long sendSome(SocketHandle socket, const char* data, std::size_t size);

// Ends this side's sending; the peer reads the end of the stream after what was sent.
void shutdownSending(SocketHandle socket) noexcept;
void closeSocket(SocketHandle socket) noexcept;

struct PollEntry {
    SocketHandle socket = NO_SOCKET;
    bool wantRead = false;
    bool wantWrite = false;
    // Set by pollSockets.
    bool readable = false; // also set on errors and hang-ups, so that the next read reports them
    bool writable = false;
};
// Waits until an entry is ready or `timeout` passes (negative: no limit). Answers the number of
// ready entries, 0 on a timeout or an interruption.
int pollSockets(std::vector<PollEntry>& entries, std::chrono::milliseconds timeout);

// Wakes a thread that waits in pollSockets from another thread.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    // Include this in the entries of a poll, for reading.
    SocketHandle socket() const noexcept { return _read; }
    void wake() noexcept;
    // Empties what wake() left behind, after a poll found it readable.
    void drain() noexcept;

private:
    SocketHandle _read = NO_SOCKET;
    SocketHandle _write = NO_SOCKET;
};

// The process's limit of open descriptors.
std::size_t openFileLimit() noexcept;

} // namespace tollwick::web::net
