#pragma once
// An in-process stand-in for the vendor service: an HTTP server on 127.0.0.1 on a free port,
// running on its own thread, that records every request to the endpoint and answers it with
// whatever the test put in place.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace tollwick::test {

struct RecordedRequest {
    std::string target; // path and query exactly as sent
    httplib::Params params;

    std::string param(const std::string& key) const;
};

class FakeService {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Serves the endpoint below `pathPrefix` ("" or e.g. "/proxy"). With `server` given (an
    // HTTPS server, say) that one is used instead of a plain HTTP server.
    explicit FakeService(std::string pathPrefix = "", std::unique_ptr<httplib::Server> server = nullptr);
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;
    ~FakeService();

    // "http://127.0.0.1:<port>" (or https) followed by the path prefix.
    std::string baseUrl() const;
    int port() const noexcept { return _port; }

    // Answers every following request with `handler`; the default answers 200 with "{}" as JSON.
    void answerWith(Handler handler);
    // Answers with a fixed status, content type and body.
    void answer(int status, std::string contentType, std::string body);

    std::vector<RecordedRequest> requests() const;

private:
    std::string _pathPrefix;
    std::unique_ptr<httplib::Server> _server;
    std::thread _thread;
    int _port = -1;
    bool _https = false;
    mutable std::mutex _mutex; // guards _handler and _requests
    Handler _handler;
    std::vector<RecordedRequest> _requests;
};

} // namespace tollwick::test
