#pragma once
// A stand-in for the places alerts go: an HTTP server on 127.0.0.1 that keeps every POST it gets
// and answers each with the status it is given.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace tollwick::test {

struct ReceivedAlert {
    std::string path; // with its query
    std::string contentType;
    std::string title; // the Title header, as sent
    std::string body;
};

class AlertInbox {
public:
    explicit AlertInbox(int status = 200);
    ~AlertInbox();
    AlertInbox(const AlertInbox&) = delete;
    AlertInbox& operator=(const AlertInbox&) = delete;

    // An address of this server; the default path stands for a webhook's secret.
    std::string url(const std::string& path = "/hooks/s3cret?token=abc") const;
    void answerWith(int status) { _status = status; }
    std::vector<ReceivedAlert> received() const;
    // Waits until `count` alerts came; false when `limit` passed first.
    bool waitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // Ends the server: its port is closed from then on.
    void shutDown();

private:
    httplib::Server _server;
    std::thread _thread;
    int _port = -1;
    std::atomic<int> _status;
    mutable std::mutex _mutex; // guards _received
    std::vector<ReceivedAlert> _received;
};

// The text of an RFC 2047 encoded word "=?UTF-8?B?...?=", or `header` itself when it is none.
std::string decodedHeader(const std::string& header);

} // namespace tollwick::test
