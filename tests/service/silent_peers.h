#pragma once
// Loopback peers that never answer, for the time limits of the service client.
#include <vector>

namespace tollwick::test {

// A port on 127.0.0.1 where nothing listens (taken from the system and released again).
int closedLoopbackPort();

// Listens on 127.0.0.1 on a free port but never accepts or reads: the system completes the
// connection, takes the request and nobody ever answers.
class SilentListener {
public:
    // With `fillQueue`, the listener's queue of pending connections is filled first, so that
    // the system drops further connection attempts and a client never gets connected at all.
    explicit SilentListener(bool fillQueue = false);
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    ~SilentListener();

    int port() const noexcept { return _port; }

private:
    int _socket = -1;
    int _port = -1;
    std::vector<int> _fillers;
};

} // namespace tollwick::test
