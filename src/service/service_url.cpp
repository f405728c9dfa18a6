#include "service/service_url.h"

#include <algorithm>
#include <cctype>

#include "runtime/errors.h"

namespace tollwick {

namespace {

[[noreturn]] void refuse(std::string_view baseUrl, std::string_view reason) {
    throw InvalidValueError("Unusable service base URL '" + std::string(baseUrl) + "': " + std::string(reason));
}

bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

void appendEncoded(std::string& out, std::string_view text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    for (const unsigned char c : text) {
        if (isUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 0x0F];
        }
    }
}

void checkPort(std::string_view baseUrl, std::string_view port) {
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        refuse(baseUrl, "the port must be a number");
    const int value = std::stoi(std::string(port));
    if (value < 1 || value > 65535)
        refuse(baseUrl, "the port must be from 1 to 65535");
}

} // namespace

ServiceAddress splitServiceBaseUrl(std::string_view baseUrl) {
    ServiceAddress address;
    const std::size_t schemeEnd = baseUrl.find("://");
    if (schemeEnd == std::string_view::npos)
        refuse(baseUrl, "it has no scheme");
    std::string scheme(baseUrl.substr(0, schemeEnd));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https")
        refuse(baseUrl, "the scheme must be http or https");
    address.isHttps = scheme == "https";

    const std::string_view rest = baseUrl.substr(schemeEnd + 3);
    if (rest.find_first_of("?#") != std::string_view::npos)
        refuse(baseUrl, "it must not have a query or a fragment");
    const std::size_t authorityEnd = std::min(rest.find('/'), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);

    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            refuse(baseUrl, "an IPv6 host lacks its closing bracket");
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                refuse(baseUrl, "unexpected text after the host");
            port = after.substr(1);
            checkPort(baseUrl, port);
        }
    } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        checkPort(baseUrl, port);
    }
    if (host.empty() || host == "[]")
        refuse(baseUrl, "it has no host");
    if (authority.find('@') != std::string_view::npos)
        refuse(baseUrl, "it must not carry user information");

    address.origin = scheme + "://" + std::string(authority);
    std::string_view path = rest.substr(authorityEnd);
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    address.pathPrefix = std::string(path);
    return address;
}

std::string encodeQuery(const QueryParams& params) {
    std::string out;
    for (const auto& [key, value] : params) {
        if (!out.empty())
            out += '&';
        appendEncoded(out, key);
        out += '=';
        appendEncoded(out, value);
    }
    return out;
}

} // namespace tollwick
