#pragma once
// Checks of where a request comes from, made before it is routed: the host name it was sent to
// (against DNS rebinding) and, for the API and the login routes, whether another site started it.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick::web {

// The host names the server answers to: any IP address, "localhost", and the given names.
class HostPolicy {
public:
    HostPolicy() = default;
    // Names are compared without regard to case or a trailing dot.
    explicit HostPolicy(const std::vector<std::string>& names);
    // Whether the Host header value (a name or address, with an optional port) may be answered.
    bool allows(std::string_view hostHeader) const;

private:
    std::set<std::string> _names;
};

// The name in a Host header value, without port, brackets or a trailing dot, in lower case.
std::string hostNameOf(std::string_view hostHeader);

// The reason a request to the API or the login routes is refused as started by another site, or
// nothing: when Sec-Fetch-Site is there and is neither "same-origin" nor "none", or when Origin (or,
// without one, Referer) names another host and port than `hostHeader`. Requests without these
// headers (scripts, command-line clients) pass.
std::optional<std::string> crossSiteRefusal(std::string_view hostHeader, std::optional<std::string_view> secFetchSite,
                                            std::optional<std::string_view> origin,
                                            std::optional<std::string_view> referer);

// Whether a request comes from this machine itself: its peer is a loopback address and its Host
// names this machine as "localhost" or a loopback address. Both must hold: a reverse proxy on this
// machine makes every request's peer a loopback address, but passes on the Host the client sent.
bool isLoopbackRequest(std::string_view peerAddress, std::optional<std::string_view> hostHeader);

// The names the server answers to besides IP addresses and localhost: this machine's own (short,
// fully qualified and with ".local"), those given with --allowed-host, and those listed in
// TOLLWICK_ALLOWED_HOSTS (separated by commas).
std::vector<std::string> allowedHostNames(const std::vector<std::string>& machineNames,
                                          const std::vector<std::string>& fromCommandLine,
                                          std::string_view fromEnvironment);

} // namespace tollwick::web
