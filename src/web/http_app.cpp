#include "web/http_app.h"

#include <httplib.h>

#include "runtime/port_check.h"

namespace tollwick {

struct HttpApp::Impl {
    httplib::Server server;
    std::string sessionKey = "tollwick-built-in-session-key";
};

HttpApp::HttpApp() : _impl(std::make_unique<Impl>()) {
    _impl->server.Get("/whoami", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(WHO_AM_I, "text/html; charset=utf-8");
    });
}

HttpApp::~HttpApp() = default;

void HttpApp::setSessionKey(std::string key) { _impl->sessionKey = std::move(key); }

bool HttpApp::listen(const std::string& host, int port) { return _impl->server.listen(host, port); }

void HttpApp::stop() { _impl->server.stop(); }

} // namespace tollwick
