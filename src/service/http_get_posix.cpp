#include "service/http_get.h"

#include <httplib.h>
#include <openssl/x509.h>

#include "runtime/errors.h"

namespace tollwick {

namespace {

std::string failureText(const std::string& url, const httplib::Client& client, httplib::Error error) {
    std::string text = "GET " + url + " failed: " + httplib::to_string(error);
    if (error == httplib::Error::SSLServerVerification) {
        const long verifyResult = client.get_openssl_verify_result();
        text += verifyResult == X509_V_OK ? std::string(" (the certificate does not name the host)")
                                          : " (" + std::string(X509_verify_cert_error_string(verifyResult)) + ")";
    }
    return text;
}

} // namespace

HttpAnswer httpGet(const ServiceAddress& address, const std::string& target, const HttpLimits& limits,
                   const std::string& trustedCertificates) {
    // A fresh client per request: no cookies, connections or other state outlive a request,
    // and requests from different threads share nothing.
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

    httplib::Result response = client.Get(target);
    if (!response)
        throw Error(failureText(address.origin + target.substr(0, target.find('?')), client, response.error()));
    return HttpAnswer{response->status, response->get_header_value("Content-Type"), std::move(response->body)};
}

} // namespace tollwick
