#pragma once
// The HTTP front: listens, accepts, reads each request's head and, where the route reads one, a
// small body, without tying up a worker; asks the application for the request's plan once its
// head is complete; and hands the request to a worker thread, which admits it (before its body,
// where the plan says so) and answers it. It keeps every client within FrontLimits: a whole-request
// deadline, bounded heads and bodies, a share of the workers, connections and buffered bodies per
// client address, and a bounded queue, answering 408, 411, 413, 414, 431 or 503 beyond them. Its
// accept loop survives every error and never waits for a lock that a handler holds.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/sized_thread.h"
#include "web/http/client_counts.h"
#include "web/http/connection.h"
#include "web/http/request_head.h"
#include "web/http/request_plan.h"
#include "web/http/response_writer.h"

namespace tollwick::web {

class FrontServer {
public:
    // Called on the accepting thread with the request as its head describes it (no body yet).
    using Planner = std::function<RequestPlan(Request& request)>;

    // `answerHeaders` go on every answer, the front's own refusals included.
    FrontServer(FrontLimits limits, Planner planner, HeaderList answerHeaders);
    ~FrontServer();
    FrontServer(const FrontServer&) = delete;
    FrontServer& operator=(const FrontServer&) = delete;

    // Binds host:port (0: a free port) and answers the port, or -1.
    int bind(const std::string& host, int port);
    // Serves until stop(); false when not bound. The calling thread waits: the front's own threads,
    // which accept and answer, have stacks of THREAD_STACK_BYTES on every platform.
    bool serve();
    void stop();
    bool isRunning() const noexcept { return _running; }
    // Waits until serve() has closed every connection and its threads have ended (at once when it
    // is not serving); false when `timeout` passed first.
    bool waitUntilStopped(std::chrono::steady_clock::duration timeout) const;
    FrontLoad load() const;

    static constexpr std::size_t THREAD_STACK_BYTES = 8 * 1024 * 1024;

private:
    using ConnectionPtr = std::unique_ptr<Connection>;

    void acceptLoop();
    // One wait for the sockets and what follows from it.
    void servePass(std::vector<net::PollEntry>& entries);
    void acceptSome(SteadyTime now);
    // When all connections are taken, closes one of the address that holds the most (when that is
    // not `address` and holds more than it), so that no few addresses crowd out everybody else.
    void makeRoomFor(const std::string& address);
    void onReadable(Connection& connection, SteadyTime now);
    // Reads a complete head, or moves the request on.
    void advance(Connection& connection, SteadyTime now);
    void startExchange(Connection& connection, const RequestHead& head, SteadyTime now);
    // Moves a request whose head came on: to a worker, or to waiting for its body.
    void proceed(Connection& connection, SteadyTime now);
    void onDeadline(Connection& connection, SteadyTime now);
    // Writes a plain-text answer that closes the connection, then lets it linger.
    void refuse(Connection& connection, int status, const std::string& reason, SteadyTime now,
                const HeaderList& headers = {});
    void enqueue(Connection& connection, SteadyTime now);
    void adoptReturned(SteadyTime now);
    // Closes and forgets connections that are done; hands queued ones to the workers.
    void sweep();

    void work();
    void serveOne(ConnectionPtr connection);
    // After an answer: the connection waits for its next request, lingers (while what is left of a
    // body unread may still come) or closes.
    void afterAnswer(ConnectionPtr connection, bool written, bool keep, bool bodyUnread);
    void giveBack(ConnectionPtr connection);
    void closeConnection(Connection& connection);
    // Ends the connection's exchange and gives back the room its body held.
    void endExchange(Connection& connection);
    bool reserveBody(Connection& connection, std::uint64_t bytes);

    const FrontLimits _limits;
    const Planner _planner;
    const HeaderList _answerHeaders;
    std::size_t _maxConnections;

    net::SocketHandle _listener = net::NO_SOCKET;
    net::Waker _waker;     // wakes the accepting thread: a connection came back, or stop
    net::Waker _stopWaker; // once woken, stays readable: every wait of a worker ends
    std::atomic<bool> _stopping{false};
    std::atomic<bool> _running{false};
    mutable std::mutex _servedMutex; // with _served, tells the end of serve()
    mutable std::condition_variable _served;
    SteadyTime _acceptPausedUntil;
    SteadyTime _lastAcceptError;

    // Owned by the accepting thread: connections waiting for a head or a body, or lingering.
    std::vector<ConnectionPtr> _receiving;
    // Marked for the sweep: to close, or to queue.
    std::vector<Connection*> _toClose;
    std::vector<Connection*> _toQueue;

    mutable std::mutex _mutex; // guards _counts, _queue, _returned and _workersStopping
    std::condition_variable _workAvailable;
    ClientCounts _counts;
    std::deque<ConnectionPtr> _queue;
    std::vector<ConnectionPtr> _returned;
    bool _workersStopping = false;
    std::vector<SizedThread> _workers;
};

} // namespace tollwick::web
