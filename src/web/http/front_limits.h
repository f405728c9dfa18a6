#pragma once
// The bounds the HTTP front keeps for every client, so that nobody can exhaust the server's
// workers, descriptors or memory, or hold a connection open for ever. A school's network has many
// devices behind a few addresses and, now and then, a hostile device with an address of its own:
// the shares below let any two addresses keep workers free for the others, and any four leave
// connections free.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tollwick::web {

struct FrontLimits {
    // Threads that answer requests. A connection holds one only while its request is admitted or
    // answered (or a logged-in upload streams in); heads, small bodies and idle keep-alive time are
    // waited for without one.
    std::size_t workers = 12;
    // One client address never holds more: the others keep being served.
    std::size_t workersPerAddress = 5;
    // Open connections in all and from one address; beyond them a new connection is answered 503
    // and closed, unless the address that holds the most (and more than the newcomer's) gives up
    // its longest-waiting connection that no worker has for it.
    std::size_t connections = 400;
    std::size_t connectionsPerAddress = 96;
    // Requests waiting for a worker; beyond them 503.
    std::size_t queued = 256;
    std::size_t queuedPerAddress = 64;
    // Bodies read into memory before their request is answered, in all and from one address; a
    // body that would pass them is answered 503.
    std::uint64_t bufferedBodyBytes = 32 * 1024 * 1024;
    std::uint64_t bufferedBodyBytesPerAddress = 4 * 1024 * 1024;
    // A request's head (request line and header fields) must arrive within this time of its first
    // byte (of the connection, for its first request) and be at most this large.
    std::chrono::milliseconds headDeadline{10'000};
    std::size_t maxHeadBytes = 32 * 1024;
    // A request target (path and query) is at most this long, its path at most maxPathBytes: no
    // path of this system is longer, and a longer one is answered 414 before it is looked at.
    std::size_t maxTargetBytes = 8 * 1024;
    std::size_t maxPathBytes = 2 * 1024;
    // Bodies and answers move at least at this average rate, after a grace of transferGrace: a
    // body that stalls is given up within seconds.
    std::uint64_t minBytesPerSecond = 16 * 1024;
    std::chrono::milliseconds transferGrace{3'000};
    // No single read or write waits longer than this for the peer.
    std::chrono::milliseconds ioWait{5'000};
    // An idle keep-alive connection is closed after this; it serves at most this many requests.
    std::chrono::milliseconds keepAlive{2'000};
    std::size_t keepAliveMaxRequests = 100;
    // After a refusal whose body was not read, what the client still sends is read and dropped
    // for up to this long before the connection closes, so that the refusal reaches it.
    std::chrono::milliseconds linger{5'000};
};

// What the front holds at one moment.
struct FrontLoad {
    std::size_t connections = 0;
    std::size_t queued = 0;      // requests waiting for a worker
    std::size_t busyWorkers = 0; // workers admitting or answering a request
    std::uint64_t bufferedBodyBytes = 0;
};

} // namespace tollwick::web
