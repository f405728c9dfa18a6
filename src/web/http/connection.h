#pragma once
// One client connection of the HTTP front, the request it carries, and the timed reads and writes
// through which a worker answers it. Every wait keeps within the front's limits: no single wait
// longer than ioWait, and bodies and answers moving at minBytesPerSecond on average after a grace
// of transferGrace.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "web/http/front_limits.h"
#include "web/http/request_plan.h"
#include "web/http/socket_io.h"

namespace tollwick::web {

using SteadyTime = std::chrono::steady_clock::time_point;

// A request whose head has come, from then until it is answered.
struct Exchange {
    Request request;
    RequestPlan plan;
    bool http10 = false;
    bool keepAliveAsked = false; // the client asked to keep the connection, or did not ask to close it
    bool expectsContinue = false;
    bool admitted = false; // the plan's admit has run
    std::uint64_t bodyLength = 0;
    std::uint64_t bodyDropped = 0; // of a body the route does not read
    SteadyTime bodyStart;
    std::uint64_t reserved = 0; // of the front's room for buffered bodies
};

struct Connection {
    enum class Phase {
        AWAITING_HEAD, // idle, or part of a head has come
        AWAITING_BODY, // the head is complete; the body is read before a worker answers the request
        QUEUED,        // waiting for a worker: to admit the request before its body, or to answer it
        SERVING,       // a worker has it
        LINGERING,     // refused: what still comes is dropped until the client closes or time is up
    };

    net::SocketHandle socket = net::NO_SOCKET;
    std::string peerAddress;
    int peerPort = 0;

    Phase phase = Phase::AWAITING_HEAD;
    SteadyTime deadline;
    SteadyTime queuedAt;
    bool headStarted = false; // a byte of the current request has come (its head deadline runs)
    // Bytes received and not yet used: the head being read, then the body being buffered, and the
    // start of the next request when a client sent it early.
    std::string buffer;
    std::unique_ptr<Exchange> exchange;
    bool continueSent = false;
    std::size_t requests = 0; // answered on this connection

    // Body bytes of the exchange not yet read off the connection (those in `buffer` count as read).
    std::uint64_t bodyStillToCome() const noexcept;
};

// The reads and writes of a worker that answers a connection's request. `stopSocket` becomes
// readable when the server stops; every wait then ends.
class ConnectionIo {
public:
    ConnectionIo(Connection& connection, const FrontLimits& limits, net::SocketHandle stopSocket);

    // Up to `size` bytes off the socket (not from the connection's buffer); -1 when the client
    // failed to send them in time, or the connection failed.
    long read(char* buffer, std::size_t size);
    // All of `size` bytes, or false when the client failed to take them in time.
    bool write(const char* data, std::size_t size);
    bool write(std::string_view text) { return write(text.data(), text.size()); }

    // A read or write failed or ran out of time: the connection cannot be used any more.
    bool failed() const noexcept { return _failed; }

private:
    enum class Wait { READ, WRITE };
    // Waits until the socket is ready or `deadline` passes (never longer than one ioWait).
    bool waitFor(Wait what, SteadyTime deadline) const;
    SteadyTime rateDeadline(SteadyTime start, std::uint64_t bytes) const;

    Connection& _connection;
    const FrontLimits& _limits;
    net::SocketHandle _stop;
    std::uint64_t _read = 0;
    SteadyTime _readStart;
    bool _reading = false;
    std::uint64_t _written = 0;
    SteadyTime _writeStart;
    bool _writing = false;
    bool _failed = false;
};

} // namespace tollwick::web
