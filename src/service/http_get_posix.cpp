#include "service/http_get.h"

#include <httplib.h>
#include <openssl/x509.h>

#include "runtime/errors.h"

namespace tollwick {

namespace {

// What went wrong, in words for the person who typed the address.
std::string plainReason(httplib::Error error) {
    switch (error) {
    case httplib::Error::Connection:
        return "no connection to the server";
    case httplib::Error::ConnectionTimeout:
        return "no connection within the time limit";
    case httplib::Error::Read:
        return "no answer within the time limit";
    case httplib::Error::Write:
        return "the server stopped taking the request";
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLLoadingCerts:
        return "no secure connection";
    case httplib::Error::SSLServerVerification:
        return "the server's certificate is not trusted";
    default:
        return httplib::to_string(error);
    }
}

HttpFailure failure(const std::string& method, const std::string& url, const httplib::Client& client,
                    httplib::Error error) {
    std::string detail;
    if (error == httplib::Error::SSLServerVerification) {
        const long verifyResult = client.get_openssl_verify_result();
        detail = verifyResult == X509_V_OK ? std::string(" (the certificate does not name the host)")
                                           : " (" + std::string(X509_verify_cert_error_string(verifyResult)) + ")";
    }
    return HttpFailure(method + " " + url + " failed: " + httplib::to_string(error) + detail, plainReason(error) + detail);
}

// Sends one request on a fresh client: no cookies, connections or other state outlive a request,
// and requests from different threads share nothing. `send` makes the request on the client.
template <class Send>
HttpAnswer exchange(const std::string& method, const ServiceAddress& address, const std::string& shownUrl,
                    const HttpLimits& limits, const std::string& trustedCertificates, Send&& send) {
    httplib::Client client(address.origin);
    client.set_connection_timeout(limits.connect);
    client.set_read_timeout(limits.read);
    client.set_write_timeout(limits.read);
    client.set_follow_location(false);
    if (address.isHttps) {
        client.enable_server_certificate_verification(true);
        if (!trustedCertificates.empty())
            client.set_ca_cert_path(trustedCertificates);
    }

    httplib::Result response = send(client);
    if (!response)
        throw failure(method, shownUrl, client, response.error());
    return HttpAnswer{response->status, response->get_header_value("Content-Type"), std::move(response->body)};
}

} // namespace

HttpAnswer httpGet(const ServiceAddress& address, const std::string& target, const HttpLimits& limits,
                   const std::string& trustedCertificates) {
    return exchange("GET", address, address.origin + target.substr(0, target.find('?')), limits, trustedCertificates,
                    [&target](httplib::Client& client) { return client.Get(target); });
}

HttpAnswer httpPost(const ServiceAddress& address, const std::string& target, const HttpPostContent& content,
                    const HttpLimits& limits) {
    return exchange("POST", address, address.origin, limits, "", [&](httplib::Client& client) {
        httplib::Headers headers(content.headers.begin(), content.headers.end());
        return client.Post(target, headers, content.body, content.contentType);
    });
}

} // namespace tollwick
