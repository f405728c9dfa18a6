#pragma once
// One client connection of the HTTP front, and the stream through which the HTTP library reads a
// request from it and writes the answer. The stream hands out the bytes of one request only (its
// head and the body its Content-Length announces) and keeps every wait within the front's limits.
#include <chrono>
#include <cstdint>
#include <string>

#include <httplib.h>

#include "web/http/front_limits.h"
#include "web/http/socket_io.h"

namespace tollwick::web {

using SteadyTime = std::chrono::steady_clock::time_point;

struct Connection {
    enum class Phase {
        AWAITING_HEAD, // idle, or part of a head has come
        AWAITING_BODY, // the head is complete; the body is read before a worker takes the request
        QUEUED,        // complete (or to be streamed), waiting for a worker
        SERVING,       // a worker answers it
        LINGERING,     // refused: what still comes is dropped until the client closes or time is up
    };

    net::SocketHandle socket = net::NO_SOCKET;
    std::string peerAddress;
    int peerPort = 0;
    std::string localAddress;
    int localPort = 0;

    Phase phase = Phase::AWAITING_HEAD;
    SteadyTime deadline;
    bool headStarted = false; // a byte of the current request has come (its head deadline runs)
    // Bytes of the current request received and not yet handed to the library, possibly followed
    // by the start of the next one.
    std::string buffer;
    std::size_t headEnd = 0;      // length of the current request's head, once complete
    std::uint64_t messageEnd = 0; // head and body
    bool streamed = false;        // the body is read by the worker, not before
    std::size_t requests = 0;     // answered on this connection
};

class ConnectionStream : public httplib::Stream {
public:
    // `stopSocket` becomes readable when the server stops; every wait then ends.
    ConnectionStream(Connection& connection, const FrontLimits& limits, net::SocketHandle stopSocket);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    ::socket_t socket() const override;

    // Bytes of the current request handed to the library so far.
    std::uint64_t position() const noexcept { return _position; }
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
    std::uint64_t _position = 0;
    std::uint64_t _fromSocket = 0;
    SteadyTime _readStart;
    std::uint64_t _written = 0;
    SteadyTime _writeStart;
    bool _writing = false;
    bool _failed = false;
};

} // namespace tollwick::web
