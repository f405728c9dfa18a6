#pragma once
// The HTTP front: listens, accepts, and reads each request's head (and a small body) without
// tying up a worker, then hands the complete request to a worker thread, where the HTTP library
// parses, routes and answers it. It keeps every client within FrontLimits: a whole-request
// deadline, bounded heads and bodies, a share of the workers and connections per client address,
// and a bounded queue, answering 408, 411, 413, 431 or 503 beyond them. Its accept loop survives
// every error.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "web/http/client_counts.h"
#include "web/http/connection.h"
#include "web/http/request_head.h"

namespace tollwick::web {

// What becomes of a request whose head is complete.
struct BodyPlan {
    // A refusal answered at once, without reading the body: status, plain-text reason, headers.
    struct Refusal {
        int status = 400;
        std::string reason;
        std::vector<std::pair<std::string, std::string>> headers;
    };
    std::optional<Refusal> refusal;
    // The largest body accepted (larger ones get 413 before a byte of them is read).
    std::uint64_t limit = 0;
    // Read by the worker as the request is answered rather than before it gets one.
    bool streamed = false;
};

class FrontServer {
public:
    using Planner = std::function<BodyPlan(const RequestHead& head, const std::string& peerAddress)>;
    // Reads one request from the stream and writes its answer; false when the connection must close.
    using Exchange = std::function<bool(httplib::Stream& stream, bool closeConnection, bool& connectionClosed)>;

    // `answerHeaders` go on every answer the front writes itself.
    FrontServer(FrontLimits limits, Planner planner, Exchange exchange,
                std::vector<std::pair<std::string, std::string>> answerHeaders);
    ~FrontServer();
    FrontServer(const FrontServer&) = delete;
    FrontServer& operator=(const FrontServer&) = delete;

    // Binds host:port (0: a free port) and answers the port, or -1.
    int bind(const std::string& host, int port);
    // Serves on the calling thread until stop(); false when not bound.
    bool serve();
    void stop();
    bool isRunning() const noexcept { return _running; }

private:
    using ConnectionPtr = std::unique_ptr<Connection>;

    // One wait for the sockets and what follows from it.
    void servePass(std::vector<net::PollEntry>& entries);
    void acceptSome(SteadyTime now);
    // When all connections are taken, closes one of the address that holds the most (when that is
    // not `address` and holds more than it), so that no few addresses crowd out everybody else.
    void makeRoomFor(const std::string& address);
    void onReadable(Connection& connection, SteadyTime now);
    void advance(Connection& connection, SteadyTime now);
    void onDeadline(Connection& connection, SteadyTime now);
    // Writes a plain-text answer that closes the connection, then lets it linger.
    void refuse(Connection& connection, int status, const std::string& reason, SteadyTime now,
                const std::vector<std::pair<std::string, std::string>>& headers = {});
    void enqueue(Connection& connection, SteadyTime now);
    void adoptReturned(SteadyTime now);
    // Closes and forgets connections that are done; hands queued ones to the workers.
    void sweep();

    void work();
    void answer(ConnectionPtr connection);
    void giveBack(ConnectionPtr connection);
    void closeConnection(Connection& connection);

    std::string answerText(int status, const std::string& reason,
                           const std::vector<std::pair<std::string, std::string>>& headers) const;

    const FrontLimits _limits;
    const Planner _planner;
    const Exchange _exchange;
    const std::vector<std::pair<std::string, std::string>> _answerHeaders;
    std::size_t _maxConnections;

    net::SocketHandle _listener = net::NO_SOCKET;
    net::Waker _waker;     // wakes the accepting thread: a connection came back, or stop
    net::Waker _stopWaker; // once woken, stays readable: every wait of a worker ends
    std::atomic<bool> _stopping{false};
    std::atomic<bool> _running{false};
    SteadyTime _acceptPausedUntil;
    SteadyTime _lastAcceptError;

    // Owned by the accepting thread: connections waiting for a head or a body, or lingering.
    std::vector<ConnectionPtr> _receiving;
    // Marked for the sweep: to close, or to queue.
    std::vector<Connection*> _toClose;
    std::vector<Connection*> _toQueue;

    std::mutex _mutex; // guards _counts, _queue, _returned and _workersStopping
    std::condition_variable _workAvailable;
    ClientCounts _counts;
    std::deque<ConnectionPtr> _queue;
    std::vector<ConnectionPtr> _returned;
    bool _workersStopping = false;
    std::vector<std::thread> _workers;
};

} // namespace tollwick::web
