#include "web/http/connection.h"

#include <algorithm>
#include <vector>

namespace tollwick::web {

std::uint64_t Connection::bodyStillToCome() const noexcept {
    if (!exchange)
        return 0;
    const std::uint64_t had = exchange->bodyDropped + buffer.size();
    return had >= exchange->bodyLength ? 0 : exchange->bodyLength - had;
}

ConnectionIo::ConnectionIo(Connection& connection, const FrontLimits& limits, net::SocketHandle stopSocket)
    : _connection(connection), _limits(limits), _stop(stopSocket) {}

SteadyTime ConnectionIo::rateDeadline(SteadyTime start, std::uint64_t bytes) const {
    const auto allowance =
        std::chrono::milliseconds(bytes * 1000 / std::max<std::uint64_t>(_limits.minBytesPerSecond, 1));
    return start + _limits.transferGrace + allowance;
}

bool ConnectionIo::waitFor(Wait what, SteadyTime deadline) const {
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

long ConnectionIo::read(char* buffer, std::size_t size) {
    if (_failed)
        return -1;
    if (!_reading) {
        _reading = true;
        _readStart = std::chrono::steady_clock::now();
    }
    for (;;) {
        const long n = net::receiveSome(_connection.socket, buffer, size);
        if (n > 0) {
            _read += static_cast<std::uint64_t>(n);
            return n;
        }
        if (n == net::WOULD_BLOCK && waitFor(Wait::READ, rateDeadline(_readStart, _read)))
            continue;
        _failed = true;
        return -1;
    }
}

bool ConnectionIo::write(const char* data, std::size_t size) {
    if (_failed)
        return false;
    if (!_writing) {
        _writing = true;
        _writeStart = std::chrono::steady_clock::now();
    }
    std::size_t done = 0;
    while (done < size) {
        const long n = net::sendSome(_connection.socket, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            _written += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == net::WOULD_BLOCK && waitFor(Wait::WRITE, rateDeadline(_writeStart, _written)))
            continue;
        _failed = true;
        return false;
    }
    return true;
}

} // namespace tollwick::web
