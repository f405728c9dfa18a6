#pragma once
// The parts of the vendor service's address and the query string of a request.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tollwick {

// Query keys and values in the order they are sent; both are URL-encoded on the way.
using QueryParams = std::vector<std::pair<std::string, std::string>>;

struct ServiceAddress {
    std::string origin;     // scheme, host and port as given, e.g. "https://bells.example.org:8443"
    std::string pathPrefix; // "" or a path beginning with "/" and not ending with one
    bool isHttps = false;
};

// Splits a base URL "scheme://host[:port][/path]" (scheme http or https, an IPv6 host in
// brackets). Anything else fails with InvalidValueError naming the URL: a missing or other
// scheme, no host, a port that is not a number from 1 to 65535, a query or fragment.
ServiceAddress splitServiceBaseUrl(std::string_view baseUrl);

// "k1=v1&k2=v2" in the given order, every byte but the unreserved ones (letters, digits, "-", ".",
// "_", "~") written as %XX.
std::string encodeQuery(const QueryParams& params);

} // namespace tollwick
