#pragma once
// One HTTP or HTTPS request (a GET to the vendor service, a POST of an alert), through the
// platform's client: cpp-httplib with OpenSSL on Linux, WinHTTP on Windows. HTTPS answers are
// accepted only from a server whose certificate chains to a trusted authority and names the host;
// redirects are not followed.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "runtime/errors.h"
#include "service/service_url.h"

namespace tollwick {

struct HttpAnswer {
    int status = 0;
    std::string contentType; // the Content-Type header, "" when there is none
    std::string body;
};

struct HttpLimits {
    std::chrono::milliseconds connect;
    std::chrono::milliseconds read; // each wait for data, and each wait while sending
};

// No answer could be read. The text names the request and the reason; `reason` alone is what
// failed (no connection, time limit, TLS).
class HttpFailure : public Error {
public:
    HttpFailure(const std::string& text, std::string reason) : Error(text), reason(std::move(reason)) {}
    std::string reason;
};

// GETs `target` (a path with its query) from `address`. The trusted authorities are the system's
// store unless `trustedCertificates` names a PEM file of them (Linux only; on Windows a request
// with one fails). Throws Error with a text that names the URL and says what failed when no
// answer could be read (an HttpFailure: no connection, time limit, TLS).
HttpAnswer httpGet(const ServiceAddress& address, const std::string& target, const HttpLimits& limits,
                   const std::string& trustedCertificates);

// What a POST sends: its body, the body's type and any headers beside them.
struct HttpPostContent {
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// POSTs `content` to `target` of `address`, trusting the system's store of authorities. Fails as
// httpGet does, but names the origin only: an alert's path and query carry its secret.
HttpAnswer httpPost(const ServiceAddress& address, const std::string& target, const HttpPostContent& content,
                    const HttpLimits& limits);

} // namespace tollwick
