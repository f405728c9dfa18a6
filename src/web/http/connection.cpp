#include "web/http/connection.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tollwick::web {

ConnectionStream::ConnectionStream(Connection& connection, const FrontLimits& limits, net::SocketHandle stopSocket)
    : _connection(connection), _limits(limits), _stop(stopSocket), _readStart(std::chrono::steady_clock::now()) {}

SteadyTime ConnectionStream::rateDeadline(SteadyTime start, std::uint64_t bytes) const {
    const auto allowance =
        std::chrono::milliseconds(bytes * 1000 / std::max<std::uint64_t>(_limits.minBytesPerSecond, 1));
    return start + _limits.headDeadline + allowance;
}

bool ConnectionStream::waitFor(Wait what, SteadyTime deadline) const {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
        return false;
    const auto wait =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + std::chrono::milliseconds(1),
                 _limits.ioWait);
    std::vector<net::PollEntry> entries{{_connection.socket, what == Wait::READ, what == Wait::WRITE},
                                        {_stop, true, false}};
    if (net::pollSockets(entries, wait) == 0 || entries[1].readable)
        return false;
    return what == Wait::READ ? entries[0].readable : entries[0].writable;
}

bool ConnectionStream::is_readable() const {
    return _position < _connection.buffer.size() || waitFor(Wait::READ, rateDeadline(_readStart, _fromSocket));
}

bool ConnectionStream::is_writable() const {
    return !_failed &&
           waitFor(Wait::WRITE, rateDeadline(_writing ? _writeStart : std::chrono::steady_clock::now(), _written));
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    if (_failed)
        return -1;
    if (_position >= _connection.messageEnd)
        return 0; // the request ends here; what follows belongs to the next one
    size = static_cast<size_t>(std::min<std::uint64_t>(size, _connection.messageEnd - _position));
    if (_position < _connection.buffer.size()) {
        const size_t n = std::min<size_t>(size, _connection.buffer.size() - static_cast<size_t>(_position));
        std::memcpy(ptr, _connection.buffer.data() + _position, n);
        _position += n;
        return static_cast<ssize_t>(n);
    }
    for (;;) {
        const long n = net::receiveSome(_connection.socket, ptr, size);
        if (n > 0) {
            _position += static_cast<std::uint64_t>(n);
            _fromSocket += static_cast<std::uint64_t>(n);
            return n;
        }
        if (n == net::WOULD_BLOCK && waitFor(Wait::READ, rateDeadline(_readStart, _fromSocket)))
            continue;
        _failed = true;
        return -1;
    }
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    if (_failed)
        return -1;
    if (!_writing) {
        _writing = true;
        _writeStart = std::chrono::steady_clock::now();
    }
    size_t done = 0;
    while (done < size) {
        const long n = net::sendSome(_connection.socket, ptr + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            _written += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == net::WOULD_BLOCK && waitFor(Wait::WRITE, rateDeadline(_writeStart, _written)))
            continue;
        _failed = true;
        return -1;
    }
    return static_cast<ssize_t>(size);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = _connection.peerAddress;
    port = _connection.peerPort;
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = _connection.localAddress;
    port = _connection.localPort;
}

::socket_t ConnectionStream::socket() const {
    return static_cast<::socket_t>(_connection.socket);
}

} // namespace tollwick::web
