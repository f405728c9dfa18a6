#include "web/http/request_guard.h"

#include <algorithm>
#include <cctype>

namespace tollwick::web {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isIpv4(std::string_view text) {
    int parts = 0;
    while (true) {
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
            if (digits > 3)
                return false;
        }
        if (digits == 0 || value > 255)
            return false;
        ++parts;
        text.remove_prefix(digits);
        if (text.empty())
            return parts == 4;
        if (text.front() != '.' || parts == 4)
            return false;
        text.remove_prefix(1);
    }
}

bool isBracketedIpv6(std::string_view text) {
    if (text.size() < 4 || text.front() != '[' || text.back() != ']')
        return false;
    const std::string_view inner = text.substr(1, text.size() - 2);
    return inner.find(':') != std::string_view::npos && std::all_of(inner.begin(), inner.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
}

// Host and port of an authority ("name:port", "[v6]:port", "name"), the port defaulting to `defaultPort`.
std::optional<std::pair<std::string, std::string>> splitAuthority(std::string_view authority,
                                                                  std::string_view defaultPort) {
    std::string_view host = authority;
    std::string_view port = defaultPort;
    const std::size_t colon = authority.rfind(':');
    const std::size_t bracket = authority.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (port.empty() || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        port.remove_prefix(std::min(port.find_first_not_of('0'), port.size() - 1)); // "080" is 80
    }
    if (host.empty())
        return std::nullopt;
    std::string name = lowered(host);
    if (name.ends_with('.'))
        name.pop_back();
    return std::pair{name, std::string(port)};
}

// Host and port of an absolute http(s) URL; nothing for anything else ("null" included).
std::optional<std::pair<std::string, std::string>> originOf(std::string_view url) {
    const std::string lower = lowered(url.substr(0, std::min<std::size_t>(url.size(), 8)));
    std::string_view defaultPort;
    if (lower.starts_with("http://")) {
        url.remove_prefix(7);
        defaultPort = "80";
    } else if (lower.starts_with("https://")) {
        url.remove_prefix(8);
        defaultPort = "443";
    } else {
        return std::nullopt;
    }
    std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    return splitAuthority(authority, defaultPort);
}

// 127.0.0.0/8 and ::1, as a peer address or a Host name ("[::1]").
bool isLoopbackAddress(std::string_view address) {
    if (address == "::1" || address == "[::1]")
        return true;
    return isIpv4(address) && address.starts_with("127.");
}

} // namespace

bool isLoopbackRequest(std::string_view peerAddress, std::optional<std::string_view> hostHeader) {
    if (!isLoopbackAddress(peerAddress) || !hostHeader)
        return false;
    const std::string name = hostNameOf(*hostHeader);
    return name == "localhost" || isLoopbackAddress(name);
}

std::string hostNameOf(std::string_view hostHeader) {
    const auto split = splitAuthority(trimmed(hostHeader), "80");
    return split ? split->first : std::string();
}

HostPolicy::HostPolicy(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::string clean = lowered(trimmed(name));
        if (clean.ends_with('.'))
            clean.pop_back();
        if (!clean.empty())
            _names.insert(std::move(clean));
    }
}

bool HostPolicy::allows(std::string_view hostHeader) const {
    const auto split = splitAuthority(trimmed(hostHeader), "80");
    if (!split)
        return false;
    const std::string& name = split->first;
    return name == "localhost" || isIpv4(name) || isBracketedIpv6(name) || _names.contains(name);
}

std::optional<std::string> crossSiteRefusal(std::string_view hostHeader, std::optional<std::string_view> secFetchSite,
                                            std::optional<std::string_view> origin,
                                            std::optional<std::string_view> referer) {
    if (secFetchSite) {
        const std::string site = lowered(trimmed(*secFetchSite));
        if (site != "same-origin" && site != "none")
            return "Refused: the request was started by another site (Sec-Fetch-Site: " + std::string(*secFetchSite) +
                   ")";
    }
    const std::optional<std::string_view> source = origin ? origin : referer;
    if (!source)
        return std::nullopt;
    const auto from = originOf(trimmed(*source));
    const auto own = splitAuthority(trimmed(hostHeader), "80");
    if (!from || !own || *from != *own)
        return std::string("Refused: the request was started by another site (") + (origin ? "Origin" : "Referer") +
               ": " + std::string(*source) + ")";
    return std::nullopt;
}

std::vector<std::string> allowedHostNames(const std::vector<std::string>& machineNames,
                                          const std::vector<std::string>& fromCommandLine,
                                          std::string_view fromEnvironment) {
    std::vector<std::string> names;
    for (const std::string& name : machineNames) {
        const std::string clean = lowered(name);
        if (clean.empty())
            continue;
        names.push_back(clean);
        const std::string shortName = clean.substr(0, clean.find('.'));
        names.push_back(shortName);
        names.push_back(shortName + ".local");
    }
    names.insert(names.end(), fromCommandLine.begin(), fromCommandLine.end());
    while (!fromEnvironment.empty()) {
        const std::size_t comma = fromEnvironment.find(',');
        const std::string_view name = trimmed(fromEnvironment.substr(0, comma));
        if (!name.empty())
            names.emplace_back(name);
        fromEnvironment = comma == std::string_view::npos ? std::string_view{} : fromEnvironment.substr(comma + 1);
    }
    return names;
}

} // namespace tollwick::web
