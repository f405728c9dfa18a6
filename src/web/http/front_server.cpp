#include "web/http/front_server.h"

#include <algorithm>

#include <spdlog/spdlog.h>

#include "web/http/request_target.h"
#include "web/http/worker_priority.h"

namespace tollwick::web {

namespace {

using std::chrono::milliseconds;

std::string sizeText(std::uint64_t bytes) {
    if (bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " bytes";
}

const std::string BUSY = "The server is busy; try again in a moment";

// Descriptors kept free for everything else the process opens: documents being saved, uploads,
// player programs, the vendor service.
constexpr std::size_t RESERVED_DESCRIPTORS = 128;

bool readsBody(const Exchange& exchange) {
    return exchange.plan.body != BodyUse::DROP && exchange.bodyLength > 0;
}

bool admissionDue(const Exchange& exchange) {
    return exchange.plan.admit && readsBody(exchange) && !exchange.admitted;
}

// When a body read before its answer must have come: whole within the grace and the time it takes
// at the least rate, and with no pause longer than one wait for the peer, so that a body that stops
// part-way is given up within seconds, however much of it came.
SteadyTime bodyDeadline(const Exchange& exchange, SteadyTime lastBytes, const FrontLimits& limits) {
    const SteadyTime whole =
        exchange.bodyStart + limits.transferGrace +
        milliseconds(exchange.bodyLength * 1000 / std::max<std::uint64_t>(limits.minBytesPerSecond, 1));
    return std::min(whole, lastBytes + limits.ioWait);
}

// The body of a request as its answer reads it: first what came with the head, then the socket.
class StreamedBody : public BodyReader {
public:
    StreamedBody(Connection& connection, ConnectionIo& io) : _connection(connection), _io(io) {}

    std::uint64_t length() const noexcept override { return _connection.exchange->bodyLength; }

    long read(char* buffer, std::size_t size) override {
        Exchange& exchange = *_connection.exchange;
        const std::uint64_t left = exchange.bodyLength - _consumed;
        if (left == 0 || size == 0)
            return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
        if (!_connection.buffer.empty()) {
            const std::size_t n = std::min(size, _connection.buffer.size());
            std::copy_n(_connection.buffer.data(), n, buffer);
            _connection.buffer.erase(0, n);
            _consumed += n;
            return static_cast<long>(n);
        }
        // The client waits for leave to send; it is given once, just before the body is wanted.
        if (exchange.expectsContinue && !_connection.continueSent && _consumed == 0) {
            _connection.continueSent = true;
            if (!_io.write("HTTP/1.1 100 Continue\r\n\r\n"))
                return -1;
        }
        const long n = _io.read(buffer, size);
        if (n > 0)
            _consumed += static_cast<std::uint64_t>(n);
        return n;
    }

    bool allRead() const noexcept { return _consumed == _connection.exchange->bodyLength; }

private:
    Connection& _connection;
    ConnectionIo& _io;
    std::uint64_t _consumed = 0;
};

} // namespace

FrontServer::FrontServer(FrontLimits limits, Planner planner, HeaderList answerHeaders)
    : _limits(limits), _planner(std::move(planner)), _answerHeaders(std::move(answerHeaders)) {
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
        _workers.emplace_back(THREAD_STACK_BYTES, [this] { work(); });
    SizedThread(THREAD_STACK_BYTES, [this] { acceptLoop(); }).join();

    {
        std::scoped_lock lock(_mutex);
        _workersStopping = true;
    }
    _workAvailable.notify_all();
    for (SizedThread& worker : _workers)
        worker.join();
    _workers.clear();
    for (const auto* connections : {&_receiving, &_returned})
        for (const ConnectionPtr& connection : *connections)
            net::closeSocket(connection->socket);
    for (const ConnectionPtr& connection : _queue)
        net::closeSocket(connection->socket);
    _receiving.clear();
    _returned.clear();
    _queue.clear();
    net::closeSocket(_listener);
    _listener = net::NO_SOCKET;
    {
        std::scoped_lock lock(_servedMutex);
        _running = false;
    }
    _served.notify_all();
    return true;
}

bool FrontServer::waitUntilStopped(std::chrono::steady_clock::duration timeout) const {
    std::unique_lock lock(_servedMutex);
    return _served.wait_for(lock, timeout, [this] { return !_running; });
}

void FrontServer::acceptLoop() {
    std::vector<net::PollEntry> entries;
    while (!_stopping) {
        // Nothing ends the loop but stop(): a failure is logged and the next pass goes on.
        try {
            servePass(entries);
        } catch (const std::exception& e) {
            spdlog::error("HTTP front error: {}", e.what());
        }
    }
}

FrontLoad FrontServer::load() const {
    std::scoped_lock lock(_mutex);
    return {_counts.connections, _counts.queued, _counts.active, _counts.buffered};
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
        // Also for a client that keeps sending: a trickle never moves a head's deadline.
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
            const std::string text = plainAnswerText(503, "Too many connections; try again in a moment",
                                                     {{"Retry-After", "1"}}, _answerHeaders);
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
    // Its longest-waiting connection that no worker has: idle, half a head, waiting for a body, or
    // lingering.
    auto victim = _receiving.end();
    for (auto it = _receiving.begin(); it != _receiving.end(); ++it)
        if ((*it)->peerAddress == heaviest.first &&
            std::find(_toClose.begin(), _toClose.end(), it->get()) == _toClose.end() &&
            std::find(_toQueue.begin(), _toQueue.end(), it->get()) == _toQueue.end() &&
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
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, connection.bodyStillToCome()));
    const long n = net::receiveSome(connection.socket, chunk, want);
    if (n == net::WOULD_BLOCK)
        return;
    if (n <= 0) {
        _toClose.push_back(&connection);
        return;
    }
    if (connection.phase == Connection::Phase::LINGERING)
        return; // dropped
    if (connection.phase == Connection::Phase::AWAITING_BODY) {
        Exchange& exchange = *connection.exchange;
        if (exchange.plan.body == BodyUse::DROP)
            exchange.bodyDropped += static_cast<std::uint64_t>(n);
        else
            connection.buffer.append(chunk, static_cast<std::size_t>(n));
        connection.deadline = bodyDeadline(exchange, now, _limits);
        proceed(connection, now);
        return;
    }
    connection.buffer.append(chunk, static_cast<std::size_t>(n));
    advance(connection, now);
}

void FrontServer::advance(Connection& connection, SteadyTime now) {
    if (connection.phase != Connection::Phase::AWAITING_HEAD || connection.buffer.empty())
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
    std::optional<RequestHead> head = parseRequestHead(std::string_view(connection.buffer).substr(0, *length));
    if (!head) {
        refuse(connection, 400, "Malformed request head", now);
        return;
    }
    connection.buffer.erase(0, *length);
    startExchange(connection, *head, now);
}

void FrontServer::startExchange(Connection& connection, const RequestHead& head, SteadyTime now) {
    const BodyFraming framing = bodyFramingOf(head);
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
    const std::string_view target = head.target;
    if (target.size() > _limits.maxTargetBytes || target.substr(0, target.find('?')).size() > _limits.maxPathBytes) {
        refuse(connection, 414, "414 URI Too Long", now);
        return;
    }
    auto exchange = std::make_unique<Exchange>();
    Request& request = exchange->request;
    RequestTarget read = readTarget(target);
    request.method = head.method;
    request.path = std::move(read.path);
    request.segments = std::move(read.segments);
    request.args = std::move(read.args);
    request.headers = head.fields;
    request.remoteAddress = connection.peerAddress;
    exchange->http10 = head.version == "HTTP/1.0";
    exchange->keepAliveAsked =
        exchange->http10 ? head.fieldHasToken("Connection", "keep-alive") : !head.fieldHasToken("Connection", "close");
    exchange->expectsContinue =
        !exchange->http10 && head.field("Expect") && equalsIgnoringCase(*head.field("Expect"), "100-continue");
    exchange->bodyLength = framing.length;
    try {
        exchange->plan = _planner(request);
    } catch (const std::exception& e) {
        spdlog::error("Exception on {} [{}]: {}", request.path, request.method, e.what());
        refuse(connection, 500, "Internal Server Error", now);
        return;
    }
    if (exchange->plan.refusal) {
        const Refusal refusal = std::move(*exchange->plan.refusal);
        refuse(connection, refusal.status, refusal.reason, now, refusal.headers);
        return;
    }
    if (framing.length > exchange->plan.limit) {
        refuse(connection, 413, "The request body is larger than " + sizeText(exchange->plan.limit), now);
        return;
    }
    connection.exchange = std::move(exchange);
    proceed(connection, now);
}

void FrontServer::proceed(Connection& connection, SteadyTime now) {
    Exchange& exchange = *connection.exchange;
    if (exchange.plan.body == BodyUse::DROP) {
        const std::uint64_t dropped =
            std::min<std::uint64_t>(connection.buffer.size(), exchange.bodyLength - exchange.bodyDropped);
        connection.buffer.erase(0, static_cast<std::size_t>(dropped));
        exchange.bodyDropped += dropped;
    }
    const bool bodyHere = exchange.plan.body == BodyUse::STREAM || connection.bodyStillToCome() == 0;
    if (admissionDue(exchange) || bodyHere) {
        enqueue(connection, now);
        return;
    }
    if (connection.phase == Connection::Phase::AWAITING_BODY)
        return;
    if (exchange.plan.body == BodyUse::BUFFER && !reserveBody(connection, exchange.bodyLength)) {
        refuse(connection, 503, BUSY, now, {{"Retry-After", "1"}});
        return;
    }
    connection.phase = Connection::Phase::AWAITING_BODY;
    exchange.bodyStart = now;
    connection.deadline = bodyDeadline(exchange, now, _limits);
    const bool nothingYet = connection.buffer.empty() && exchange.bodyDropped == 0;
    if (exchange.expectsContinue && !connection.continueSent && nothingYet) {
        static constexpr std::string_view CONTINUE = "HTTP/1.1 100 Continue\r\n\r\n";
        connection.continueSent = true;
        net::sendSome(connection.socket, CONTINUE.data(), CONTINUE.size());
    }
}

bool FrontServer::reserveBody(Connection& connection, std::uint64_t bytes) {
    std::scoped_lock lock(_mutex);
    ClientCounts::Counts& counts = _counts.at(connection.peerAddress);
    if (_counts.buffered + bytes > _limits.bufferedBodyBytes ||
        counts.buffered + bytes > _limits.bufferedBodyBytesPerAddress)
        return false;
    counts.buffered += bytes;
    _counts.buffered += bytes;
    connection.exchange->reserved = bytes;
    return true;
}

void FrontServer::endExchange(Connection& connection) {
    if (!connection.exchange)
        return;
    if (const std::uint64_t reserved = connection.exchange->reserved; reserved > 0) {
        std::scoped_lock lock(_mutex);
        _counts.at(connection.peerAddress).buffered -= reserved;
        _counts.buffered -= reserved;
    }
    connection.exchange.reset();
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
        refuse(connection, 503, BUSY, now, {{"Retry-After", "1"}});
        return;
    }
    connection.phase = Connection::Phase::QUEUED;
    connection.queuedAt = now;
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
                         const HeaderList& headers) {
    const std::string text = plainAnswerText(status, reason, headers, _answerHeaders);
    // The answer is small and the connection's send buffer empty: one write takes it whole.
    net::sendSome(connection.socket, text.data(), text.size());
    net::shutdownSending(connection.socket);
    endExchange(connection);
    connection.phase = Connection::Phase::LINGERING;
    connection.buffer.clear();
    connection.buffer.shrink_to_fit();
    connection.deadline = now + _limits.linger;
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
    endExchange(connection);
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
        } else if (adopted.exchange) {
            proceed(adopted, now); // admitted: its body comes next
        } else {
            adopted.deadline = now + _limits.keepAlive;
            advance(adopted, now); // the next request may have come with the last one
        }
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
                // The address with the fewest requests being answered goes first, so that a flood
                // from a few addresses never keeps the others waiting behind it.
                auto chosen = _queue.end();
                std::size_t fewest = _limits.workersPerAddress;
                for (auto it = _queue.begin(); it != _queue.end(); ++it) {
                    const std::size_t active = _counts.get((*it)->peerAddress).active;
                    if (active < fewest) {
                        fewest = active;
                        chosen = it;
                    }
                }
                if (chosen == _queue.end())
                    return false;
                connection = std::move(*chosen);
                _queue.erase(chosen);
                return true;
            });
            if (!connection)
                return;
            ClientCounts::Counts& counts = _counts.at(connection->peerAddress);
            --counts.queued;
            --_counts.queued;
            ++counts.active;
            ++_counts.active;
        }
        const std::string address = connection->peerAddress;
        serveOne(std::move(connection));
        {
            std::scoped_lock lock(_mutex);
            --_counts.at(address).active;
            --_counts.active;
            _counts.forgetIfIdle(address);
        }
        _workAvailable.notify_all();
    }
}

void FrontServer::serveOne(ConnectionPtr connection) {
    connection->phase = Connection::Phase::SERVING;
    Exchange& exchange = *connection->exchange;
    Request& request = exchange.request;
    ConnectionIo io(*connection, _limits, _stopWaker.socket());
    const bool headOnly = request.method == "HEAD";

    auto failed = [&](const std::exception* e) {
        spdlog::error("Exception on {} [{}]: {}", request.path, request.method, e ? e->what() : "unknown error");
        return Response(500, PLAIN_TEXT, "Internal Server Error");
    };
    if (admissionDue(exchange)) {
        exchange.admitted = true;
        std::optional<Response> refused;
        try {
            refused = exchange.plan.admit(request);
        } catch (const std::exception& e) {
            refused = failed(&e);
        } catch (...) {
            refused = failed(nullptr);
        }
        if (refused) {
            const AnswerFrame frame{_answerHeaders, headOnly, false, exchange.http10, std::nullopt};
            const bool written = writeResponse(io, *refused, frame) && !io.failed();
            const bool bodyUnread = connection->bodyStillToCome() > 0;
            afterAnswer(std::move(connection), written, false, bodyUnread);
            return;
        }
        if (exchange.plan.body == BodyUse::BUFFER && connection->bodyStillToCome() > 0) {
            giveBack(std::move(connection)); // the front reads the body, then a worker answers
            return;
        }
    }
    if (exchange.plan.body == BodyUse::BUFFER) {
        const auto length = static_cast<std::size_t>(exchange.bodyLength);
        request.body = connection->buffer.substr(0, length);
        connection->buffer.erase(0, length);
    }
    StreamedBody streamed(*connection, io);
    const bool stream = exchange.plan.body == BodyUse::STREAM;
    Response response;
    try {
        response = exchange.plan.answer(request, stream ? &streamed : nullptr);
    } catch (const std::exception& e) {
        response = failed(&e);
    } catch (...) {
        response = failed(nullptr);
    }
    const bool bodyRead = !stream || streamed.allRead();
    const bool keep =
        exchange.keepAliveAsked && bodyRead && connection->requests + 1 < _limits.keepAliveMaxRequests && !_stopping;
    const auto range = request.header("Range");
    const AnswerFrame frame{_answerHeaders, headOnly, keep, exchange.http10,
                            range ? std::optional<std::string_view>(*range) : std::nullopt,
                            static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(_limits.keepAlive).count())};
    const bool written = writeResponse(io, response, frame) && !io.failed();
    afterAnswer(std::move(connection), written, keep, !bodyRead);
}

void FrontServer::afterAnswer(ConnectionPtr connection, bool written, bool keep, bool bodyUnread) {
    ++connection->requests;
    endExchange(*connection);
    if (!written) {
        closeConnection(*connection);
        return;
    }
    // Whatever of the body the answer left unread is dropped; while it may still be coming, the
    // connection lingers, so that the answer reaches the client before the close.
    if (bodyUnread) {
        net::shutdownSending(connection->socket);
        connection->phase = Connection::Phase::LINGERING;
        connection->buffer.clear();
        connection->buffer.shrink_to_fit();
        giveBack(std::move(connection));
        return;
    }
    if (!keep) {
        closeConnection(*connection);
        return;
    }
    connection->phase = Connection::Phase::AWAITING_HEAD;
    connection->headStarted = false;
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
