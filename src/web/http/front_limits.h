#pragma once
// The bounds the HTTP front keeps for every client, so that nobody can exhaust the server's
// workers, descriptors or memory, or hold a connection open for ever.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tollwick::web {

struct FrontLimits {
    // Threads that answer requests. A connection holds one only while a request is being answered
    // (or a logged-in upload streams in); heads, small bodies and idle keep-alive time are waited
    // for without one.
    std::size_t workers = 8;
    // One client address never holds all of them: the others keep being served.
    std::size_t workersPerAddress = 6;
    // Open connections in all and from one address (a school behind one NAT address has many
    // browsers); beyond them a new connection is answered 503 and closed, unless the address that
    // holds the most (and more than the newcomer's) gives up its longest-waiting idle one for it.
    std::size_t connections = 400;
    std::size_t connectionsPerAddress = 128;
    // Complete requests waiting for a worker; beyond them 503.
    std::size_t queued = 256;
    std::size_t queuedPerAddress = 64;
    // A request's head (request line and header fields) must arrive within this time of its first
    // byte (of the connection, for its first request) and be at most this large.
    std::chrono::milliseconds headDeadline{10'000};
    std::size_t maxHeadBytes = 32 * 1024;
    // Bodies and answers move at least at this average rate, after a grace of headDeadline.
    std::uint64_t minBytesPerSecond = 16 * 1024;
    // No single read or write waits longer than this for the peer.
    std::chrono::milliseconds ioWait{5'000};
    // An idle keep-alive connection is closed after this; it serves at most this many requests.
    std::chrono::milliseconds keepAlive{2'000};
    std::size_t keepAliveMaxRequests = 100;
    // After a refusal whose body was not read, what the client still sends is read and dropped
    // for up to this long before the connection closes, so that the refusal reaches it.
    std::chrono::milliseconds linger{5'000};
};

} // namespace tollwick::web
