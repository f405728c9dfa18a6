#include "fake_service.h"

#include <chrono>
#include <stdexcept>

namespace tollwick::test {

std::string RecordedRequest::param(const std::string& key) const {
    const auto found = params.find(key);
    return found == params.end() ? std::string("<absent>") : found->second;
}

FakeService::FakeService(std::string pathPrefix, std::unique_ptr<httplib::Server> server)
    : _pathPrefix(std::move(pathPrefix)), _server(server ? std::move(server) : std::make_unique<httplib::Server>()),
      _https(_server->is_valid() && dynamic_cast<httplib::SSLServer*>(_server.get()) != nullptr) {
    answer(200, "application/json", "{}");
    _server->Get(_pathPrefix + "/api/player/v1", [this](const httplib::Request& request, httplib::Response& response) {
        Handler handler;
        {
            std::scoped_lock lock(_mutex);
            _requests.push_back({request.target, request.params});
            handler = _handler;
        }
        handler(request, response);
    });
    _port = _server->bind_to_any_port("127.0.0.1");
    if (_port <= 0)
        throw std::runtime_error("The fake service cannot bind a port on 127.0.0.1");
    _thread = std::thread([this] { _server->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!_server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeService::~FakeService() {
    _server->stop();
    if (_thread.joinable())
        _thread.join();
}

std::string FakeService::baseUrl() const {
    return std::string(_https ? "https" : "http") + "://127.0.0.1:" + std::to_string(_port) + _pathPrefix;
}

void FakeService::answerWith(Handler handler) {
    std::scoped_lock lock(_mutex);
    _handler = std::move(handler);
}

void FakeService::answer(int status, std::string contentType, std::string body) {
    answerWith([=](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, contentType.c_str());
    });
}

std::vector<RecordedRequest> FakeService::requests() const {
    std::scoped_lock lock(_mutex);
    return _requests;
}

} // namespace tollwick::test
