#pragma once
// One HTTP or HTTPS GET to the vendor service, through the platform's client: cpp-httplib with
// OpenSSL on Linux, WinHTTP on Windows. HTTPS answers are accepted only from a server whose
// certificate chains to a trusted authority and names the host; redirects are not followed.
#include <chrono>
#include <string>

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

// GETs `target` (a path with its query) from `address`. The trusted authorities are the system's
// store unless `trustedCertificates` names a PEM file of them (Linux only; on Windows a request
// with one fails). Throws Error with a text that names the URL and says what failed when no
// answer could be read (no connection, time limit, TLS).
HttpAnswer httpGet(const ServiceAddress& address, const std::string& target, const HttpLimits& limits,
                   const std::string& trustedCertificates);

} // namespace tollwick
