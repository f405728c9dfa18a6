#pragma once
// The HTTP application: the routing table, the session-signing key and the server that runs them.
#include <memory>
#include <string>

namespace tollwick {

class HttpApp {
public:
    HttpApp();
    ~HttpApp();
    HttpApp(const HttpApp&) = delete;
    HttpApp& operator=(const HttpApp&) = delete;

    // The key that signs session cookies; a built-in key until start-up sets the installation's salt.
    void setSessionKey(std::string key);

    // Serves on host:port until stop() is called; false when the server cannot listen there.
    bool listen(const std::string& host, int port);
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

} // namespace tollwick
