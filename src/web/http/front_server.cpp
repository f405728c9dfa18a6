#include "web/http/front_server.h"

#include <algorithm>

#include <spdlog/spdlog.h>

#include "web/http/worker_priority.h"

namespace tollwick::web {

namespace {

using std::chrono::milliseconds;

const char* statusText(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 421:
        return "Misdirected Request";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

// Descriptors kept free for everything else the process opens: documents being saved, uploads,
// player programs, the vendor service.
constexpr std::size_t RESERVED_DESCRIPTORS = 128;

} // namespace

FrontServer::FrontServer(FrontLimits limits, Planner planner, Exchange exchange,
                         std::vector<std::pair<std::string, std::string>> answerHeaders)
    : _limits(limits), _planner(std::move(planner)), _exchange(std::move(exchange)),
      _answerHeaders(std::move(answerHeaders)) {
    const std::size_t descriptors = net::openFileLimit();
    _maxConnections =
        std::min(_limits.connections,
                 descriptors > 2 * RESERVED_DESCRIPTORS ? descriptors - RESERVED_DESCRIPTORS : descriptors / 2);
}

FrontServer::~FrontServer() {
    stop();
    net::closeSocket(_listener);
}

int FrontServer::bind(const std::string& host, int port) {
    int bound = -1;
    _listener = net::listenTcp(host, port, bound);
    return _listener == net::NO_SOCKET ? -1 : bound;
}

void FrontServer::stop() {
    _stopping = true;
    _stopWaker.wake();
    _waker.wake();
}

bool FrontServer::serve() {
    if (_listener == net::NO_SOCKET)
        return false;
    _running = true;
    for (std::size_t i = 0; i < _limits.workers; ++i)
        _workers.emplace_back([this] { work(); });

    std::vector<net::PollEntry> entries;
    while (!_stopping) {
        // Nothing ends the loop but stop(): a failure is logged and the next pass goes on.
        try {
            servePass(entries);
        } catch (const std::exception& e) {
            spdlog::error("HTTP front error: {}", e.what());
        }
    }

    {
        std::scoped_lock lock(_mutex);
        _workersStopping = true;
    }
    _workAvailable.notify_all();
    for (std::thread& worker : _workers)
        worker.join();
    _workers.clear();
    for (const ConnectionPtr& connection : _receiving)
        net::closeSocket(connection->socket);
    _receiving.clear();
    for (const ConnectionPtr& connection : _queue)
        net::closeSocket(connection->socket);
    _queue.clear();
    for (const ConnectionPtr& connection : _returned)
        net::closeSocket(connection->socket);
    _returned.clear();
    net::closeSocket(_listener);
    _listener = net::NO_SOCKET;
    _running = false;
    return true;
}

void FrontServer::servePass(std::vector<net::PollEntry>& entries) {
    const SteadyTime now = std::chrono::steady_clock::now();
    SteadyTime wakeAt = now + milliseconds(1000);
    entries.clear();
    entries.push_back({_waker.socket(), true, false});
    const bool accepting = now >= _acceptPausedUntil;
    entries.push_back({accepting ? _listener : net::NO_SOCKET, accepting, false});
    if (!accepting)
        wakeAt = std::min(wakeAt, _acceptPausedUntil);
    for (const ConnectionPtr& connection : _receiving) {
        entries.push_back({connection->socket, true, false});
        wakeAt = std::min(wakeAt, connection->deadline);
    }
    const auto timeout =
        std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(wakeAt - now) + milliseconds(1));
    net::pollSockets(entries, timeout);

    const SteadyTime after = std::chrono::steady_clock::now();
    if (entries[0].readable)
        _waker.drain();
    // Connections are only added after the loop over the poll's entries, so indices stay valid.
    const std::size_t polled = _receiving.size();
    for (std::size_t i = 0; i < polled; ++i) {
        Connection& connection = *_receiving[i];
        if (entries[i + 2].readable)
            onReadable(connection, after);
        // Also for a client that keeps sending: a trickle never moves a deadline.
        const bool waiting = connection.phase == Connection::Phase::AWAITING_HEAD ||
                             connection.phase == Connection::Phase::AWAITING_BODY ||
                             connection.phase == Connection::Phase::LINGERING;
        if (waiting && after >= connection.deadline &&
            std::find(_toClose.begin(), _toClose.end(), &connection) == _toClose.end())
            onDeadline(connection, after);
    }
    sweep();
    adoptReturned(after);
    if (entries[1].readable)
        acceptSome(after);
    sweep();
}

void FrontServer::acceptSome(SteadyTime now) {
    for (int i = 0; i < 64; ++i) {
        net::Accepted accepted = net::acceptClient(_listener);
        switch (accepted.outcome) {
        case net::AcceptOutcome::NONE_WAITING:
            return;
        case net::AcceptOutcome::RETRY:
            continue;
        case net::AcceptOutcome::OUT_OF_RESOURCES:
        case net::AcceptOutcome::FAILED:
            // Connections stay in the system's queue meanwhile; the loop goes on.
            if (now - _lastAcceptError > std::chrono::seconds(60)) {
                spdlog::error("The server cannot accept a connection (error {}); it tries again", accepted.error);
                _lastAcceptError = now;
            }
            _acceptPausedUntil = now + milliseconds(100);
            return;
        case net::AcceptOutcome::ACCEPTED:
            break;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = accepted.socket;
        connection->peerAddress = std::move(accepted.peerAddress);
        connection->peerPort = accepted.peerPort;
        net::localAddress(connection->socket, connection->localAddress, connection->localPort);
        connection->deadline = now + _limits.headDeadline;
        connection->headStarted = true; // a new connection's first head is due from its start
        bool full = false;
        {
            std::scoped_lock lock(_mutex);
            full = _counts.connections >= _maxConnections;
        }
        if (full)
            makeRoomFor(connection->peerAddress);
        bool admitted = false;
        {
            std::scoped_lock lock(_mutex);
            ClientCounts::Counts& counts = _counts.at(connection->peerAddress);
            admitted = _counts.connections < _maxConnections && counts.connections < _limits.connectionsPerAddress;
            if (admitted) {
                ++counts.connections;
                ++_counts.connections;
            } else {
                _counts.forgetIfIdle(connection->peerAddress);
            }
        }
        if (!admitted) {
            // No lingering here: that would hold the very descriptor the client is refused.
            const std::string text =
                answerText(503, "Too many connections; try again in a moment", {{"Retry-After", "1"}});
            net::sendSome(connection->socket, text.data(), text.size());
            net::shutdownSending(connection->socket);
            // What already came is read, so that the close does not reset the connection before the
            // client has read the answer.
            char drop[16 * 1024];
            for (int k = 0; k < 4 && net::receiveSome(connection->socket, drop, sizeof drop) > 0; ++k) {
            }
            net::closeSocket(connection->socket);
            continue;
        }
        _receiving.push_back(std::move(connection));
    }
}

void FrontServer::makeRoomFor(const std::string& address) {
    std::pair<std::string, std::size_t> heaviest;
    std::size_t own = 0;
    {
        std::scoped_lock lock(_mutex);
        heaviest = _counts.heaviest();
        own = _counts.get(address).connections;
    }
    if (heaviest.first == address || heaviest.second <= own + 1)
        return;
    // Its longest-waiting connection that is not being answered: idle, half a head, or lingering.
    auto victim = _receiving.end();
    for (auto it = _receiving.begin(); it != _receiving.end(); ++it)
        if ((*it)->peerAddress == heaviest.first && (*it)->phase != Connection::Phase::AWAITING_BODY &&
            (victim == _receiving.end() || (*it)->deadline < (*victim)->deadline))
            victim = it;
    if (victim == _receiving.end())
        return;
    closeConnection(**victim);
    _receiving.erase(victim);
}

void FrontServer::onReadable(Connection& connection, SteadyTime now) {
    char chunk[16 * 1024];
    std::size_t want = sizeof chunk;
    if (connection.phase == Connection::Phase::AWAITING_HEAD)
        want = std::min(want, _limits.maxHeadBytes + 1 - std::min(connection.buffer.size(), _limits.maxHeadBytes));
    else if (connection.phase == Connection::Phase::AWAITING_BODY)
        want =
            static_cast<std::size_t>(std::min<std::uint64_t>(want, connection.messageEnd - connection.buffer.size()));
    const long n = net::receiveSome(connection.socket, chunk, want);
    if (n == net::WOULD_BLOCK)
        return;
    if (n <= 0) {
        _toClose.push_back(&connection);
        return;
    }
    if (connection.phase == Connection::Phase::LINGERING)
        return; // dropped
    connection.buffer.append(chunk, static_cast<std::size_t>(n));
    advance(connection, now);
}

void FrontServer::advance(Connection& connection, SteadyTime now) {
    if (connection.phase == Connection::Phase::AWAITING_HEAD) {
        if (connection.buffer.empty())
            return;
        if (!connection.headStarted) {
            connection.headStarted = true;
            connection.deadline = now + _limits.headDeadline;
        }
        const std::optional<std::size_t> length = headLength(connection.buffer);
        if (!length || *length > _limits.maxHeadBytes) {
            if (connection.buffer.size() > _limits.maxHeadBytes || (length && *length > _limits.maxHeadBytes))
                refuse(connection, 431, "The request head is larger than " + sizeText(_limits.maxHeadBytes), now);
            return;
        }
        const std::optional<RequestHead> head =
            parseRequestHead(std::string_view(connection.buffer).substr(0, *length));
        if (!head) {
            refuse(connection, 400, "Malformed request head", now);
            return;
        }
        const BodyFraming framing = bodyFramingOf(*head);
        switch (framing.kind) {
        case BodyFraming::Kind::INVALID:
            refuse(connection, 400, "Invalid Content-Length", now);
            return;
        case BodyFraming::Kind::ENCODED:
            refuse(connection, 411, "Request bodies need a Content-Length; transfer encodings are not accepted", now);
            return;
        case BodyFraming::Kind::MISSING:
            refuse(connection, 411, "Request bodies need a Content-Length", now);
            return;
        case BodyFraming::Kind::LENGTH:
            break;
        }
        BodyPlan plan;
        try {
            plan = _planner(*head, connection.peerAddress);
        } catch (const std::exception& e) {
            spdlog::error("Exception on {} [{}]: {}", head->target, head->method, e.what());
            refuse(connection, 500, "Internal Server Error", now);
            return;
        }
        if (plan.refusal) {
            refuse(connection, plan.refusal->status, plan.refusal->reason, now, plan.refusal->headers);
            return;
        }
        if (framing.length > plan.limit) {
            refuse(connection, 413, "The request body is larger than " + sizeText(plan.limit), now);
            return;
        }
        connection.headEnd = *length;
        connection.messageEnd = *length + framing.length;
        connection.streamed = plan.streamed;
        if (!plan.streamed && connection.buffer.size() < connection.messageEnd) {
            connection.phase = Connection::Phase::AWAITING_BODY;
            connection.deadline =
                now + _limits.headDeadline +
                milliseconds(framing.length * 1000 / std::max<std::uint64_t>(_limits.minBytesPerSecond, 1));
            if (head->field("Expect") == "100-continue") {
                static constexpr std::string_view CONTINUE = "HTTP/1.1 100 Continue\r\n\r\n";
                net::sendSome(connection.socket, CONTINUE.data(), CONTINUE.size());
            }
            return;
        }
    }
    if (connection.phase == Connection::Phase::AWAITING_BODY && connection.buffer.size() < connection.messageEnd)
        return;
    enqueue(connection, now);
}

void FrontServer::enqueue(Connection& connection, SteadyTime now) {
    bool room = false;
    {
        std::scoped_lock lock(_mutex);
        ClientCounts::Counts& counts = _counts.at(connection.peerAddress);
        room = _counts.queued < _limits.queued && counts.queued < _limits.queuedPerAddress;
        if (room) {
            ++counts.queued;
            ++_counts.queued;
        }
    }
    if (!room) {
        refuse(connection, 503, "The server is busy; try again in a moment", now, {{"Retry-After", "1"}});
        return;
    }
    connection.phase = Connection::Phase::QUEUED;
    _toQueue.push_back(&connection);
}

void FrontServer::onDeadline(Connection& connection, SteadyTime now) {
    switch (connection.phase) {
    case Connection::Phase::AWAITING_HEAD:
        if (connection.buffer.empty()) {
            _toClose.push_back(&connection); // idle: nothing to answer
            return;
        }
        [[fallthrough]];
    case Connection::Phase::AWAITING_BODY:
        refuse(connection, 408, "The request did not arrive in time", now);
        return;
    default:
        _toClose.push_back(&connection);
    }
}

void FrontServer::refuse(Connection& connection, int status, const std::string& reason, SteadyTime now,
                         const std::vector<std::pair<std::string, std::string>>& headers) {
    const std::string text = answerText(status, reason, headers);
    // The answer is small and the connection's send buffer empty: one write takes it whole.
    net::sendSome(connection.socket, text.data(), text.size());
    net::shutdownSending(connection.socket);
    connection.phase = Connection::Phase::LINGERING;
    connection.buffer.clear();
    connection.buffer.shrink_to_fit();
    connection.deadline = now + _limits.linger;
}

std::string FrontServer::answerText(int status, const std::string& reason,
                                    const std::vector<std::pair<std::string, std::string>>& headers) const {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + statusText(status) + "\r\n";
    text += "Content-Type: text/plain; charset=utf-8\r\n";
    text += "Content-Length: " + std::to_string(reason.size()) + "\r\n";
    text += "Connection: close\r\n";
    for (const auto& [name, value] : _answerHeaders)
        text += name + ": " + value + "\r\n";
    for (const auto& [name, value] : headers)
        text += name + ": " + value + "\r\n";
    text += "\r\n";
    text += reason;
    return text;
}

void FrontServer::sweep() {
    if (_toClose.empty() && _toQueue.empty())
        return;
    std::vector<ConnectionPtr> queued;
    std::vector<ConnectionPtr> kept;
    kept.reserve(_receiving.size());
    for (ConnectionPtr& connection : _receiving) {
        if (std::find(_toClose.begin(), _toClose.end(), connection.get()) != _toClose.end()) {
            closeConnection(*connection);
        } else if (std::find(_toQueue.begin(), _toQueue.end(), connection.get()) != _toQueue.end()) {
            queued.push_back(std::move(connection));
        } else {
            kept.push_back(std::move(connection));
        }
    }
    _receiving = std::move(kept);
    _toClose.clear();
    _toQueue.clear();
    if (queued.empty())
        return;
    {
        std::scoped_lock lock(_mutex);
        for (ConnectionPtr& connection : queued)
            _queue.push_back(std::move(connection));
    }
    _workAvailable.notify_all();
}

void FrontServer::closeConnection(Connection& connection) {
    net::closeSocket(connection.socket);
    connection.socket = net::NO_SOCKET;
    std::scoped_lock lock(_mutex);
    --_counts.at(connection.peerAddress).connections;
    --_counts.connections;
    _counts.forgetIfIdle(connection.peerAddress);
}

void FrontServer::adoptReturned(SteadyTime now) {
    std::vector<ConnectionPtr> returned;
    {
        std::scoped_lock lock(_mutex);
        returned.swap(_returned);
    }
    for (ConnectionPtr& connection : returned) {
        Connection& adopted = *connection;
        _receiving.push_back(std::move(connection));
        if (adopted.phase == Connection::Phase::LINGERING) {
            adopted.deadline = now + _limits.linger;
            continue;
        }
        adopted.deadline = now + _limits.keepAlive;
        advance(adopted, now); // the next request may have come with the last one
    }
    sweep();
}

void FrontServer::work() {
    lowerCurrentThreadPriority();
    for (;;) {
        ConnectionPtr connection;
        {
            std::unique_lock lock(_mutex);
            _workAvailable.wait(lock, [&] {
                if (_workersStopping)
                    return true;
                const auto eligible = std::find_if(_queue.begin(), _queue.end(), [&](const ConnectionPtr& c) {
                    return _counts.get(c->peerAddress).active < _limits.workersPerAddress;
                });
                if (eligible == _queue.end())
                    return false;
                connection = std::move(*eligible);
                _queue.erase(eligible);
                return true;
            });
            if (!connection)
                return;
            ClientCounts::Counts& counts = _counts.at(connection->peerAddress);
            --counts.queued;
            --_counts.queued;
            ++counts.active;
        }
        const std::string address = connection->peerAddress;
        answer(std::move(connection));
        {
            std::scoped_lock lock(_mutex);
            --_counts.at(address).active;
            _counts.forgetIfIdle(address);
        }
        _workAvailable.notify_all();
    }
}

void FrontServer::answer(ConnectionPtr connection) {
    connection->phase = Connection::Phase::SERVING;
    ConnectionStream stream(*connection, _limits, _stopWaker.socket());
    const bool last = connection->requests + 1 >= _limits.keepAliveMaxRequests;
    bool closed = false;
    bool keep = false;
    try {
        keep = _exchange(stream, last, closed);
    } catch (const std::exception& e) {
        spdlog::error("HTTP worker error: {}", e.what());
    } catch (...) {
        spdlog::error("HTTP worker error");
    }
    ++connection->requests;
    keep = keep && !closed && !last && !stream.failed() && !_stopping;

    // Whatever of the body the answer left unread is dropped; when it has not all come yet, the
    // connection lingers instead, so that the answer reaches the client before the close.
    const bool bodyAllHere = connection->buffer.size() >= connection->messageEnd;
    const bool bodyPending = stream.position() < connection->messageEnd && !bodyAllHere;
    if (bodyPending && !stream.failed()) {
        net::shutdownSending(connection->socket);
        connection->phase = Connection::Phase::LINGERING;
        connection->buffer.clear();
        connection->buffer.shrink_to_fit();
        giveBack(std::move(connection));
        return;
    }
    if (!keep || bodyPending) {
        closeConnection(*connection);
        return;
    }
    connection->buffer.erase(
        0, static_cast<std::size_t>(std::max<std::uint64_t>(connection->messageEnd, stream.position())));
    connection->phase = Connection::Phase::AWAITING_HEAD;
    connection->headStarted = false;
    connection->headEnd = 0;
    connection->messageEnd = 0;
    connection->streamed = false;
    giveBack(std::move(connection));
}

void FrontServer::giveBack(ConnectionPtr connection) {
    {
        std::scoped_lock lock(_mutex);
        _returned.push_back(std::move(connection));
    }
    _waker.wake();
}

} // namespace tollwick::web
