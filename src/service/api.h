#pragma once
// The client of the vendor's web service: one GET request form to one endpoint, with the wanted
// command in the query parameter "c". Nothing here throws for a failed exchange; every failure
// comes back as an error Result and is remembered in networkState.
#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <variant>

#include "model/result.h"
#include "service/service_answer.h"
#include "service/service_url.h"

namespace tollwick {

enum class NetworkState {
    UNKNOWN, // no request has completed yet
    OK,      // the last request got an HTTP answer, of any status
    ERROR,   // the last request failed without an answer that could be read
};

// The base URL of a release: the vendor's HTTPS service.
inline constexpr std::string_view RELEASE_SERVICE_BASE_URL = "https://bells.example.org";
// The base URL of a development run: the substitute service of tools/ on the loopback address.
inline constexpr std::string_view DEVELOPMENT_SERVICE_BASE_URL = "http://127.0.0.1:5002";
// The path of the one endpoint, below the base URL.
inline constexpr std::string_view SERVICE_ENDPOINT_PATH = "/api/player/v1";

// A non-empty TOLLWICK_SERVICE_URL in any run (tests, installations behind a proxy); otherwise the
// release or the development base URL, as isRelease() decides.
std::string defaultServiceBaseUrl();

// Every request is bounded by these, so that a service that never answers cannot hold the
// scheduler thread (and with it the bells) or a request handler. `read` bounds each wait for
// data from the service, and also each wait while sending the request.
struct ServiceTimeouts {
    std::chrono::milliseconds connect{5000};
    std::chrono::milliseconds read{15000};
};

class Api {
public:
    // `baseUrl` is a scheme ("http" or "https"), a host, an optional port and an optional path
    // prefix, e.g. "https://bells.example.org" or "http://127.0.0.1:5002/proxy". It is checked on
    // every request: an unusable one makes every request fail softly.
    explicit Api(std::string baseUrl = defaultServiceBaseUrl(), ServiceTimeouts timeouts = {});

    // HTTPS answers are accepted only from a server whose certificate chains to a trusted
    // authority and names the host. The trusted authorities are the system's store unless this
    // names a PEM file of them instead. Call it before the client is shared between threads.
    void setTrustedCertificates(std::string pemFile);

    // Sends one GET to the endpoint with `params` as the query and decodes the answer by its
    // content type. Ok with the answer when the status is 200; error with the textual form of the
    // answer for any other status; error with the failure's text when no readable answer came
    // (no connection, time limit, TLS, a JSON body that does not parse).
    // Logs "RESP <status> <answer>" at debug level, or "Internet is unreachable" at warning level.
    // Safe to call from several threads at once.
    Result<ServiceAnswer> get(const QueryParams& params);

    // c=ping with this program's version; the ok answer is normally a JSON object with
    // "calendarVersion".
    Result<ServiceAnswer> ping();
    // c=getCalendarRegistry; the ok answer is normally a JSON object with "entries" and "version".
    Result<ServiceAnswer> getCalendarRegistry();
    // c=downloadAnnouncement&id=<id>, then writes the answer's body bytes to `path`, replacing the
    // file as a whole (a reader never sees a half-written file; on failure an older file stays).
    // A failed request gives the error of get unchanged and writes nothing; an answer decoded as
    // text or JSON, or a file that cannot be written, gives "Failed to write file: <reason>".
    Result<std::monostate> downloadAnnouncement(const std::string& id, const std::string& path);

    // The outcome of the most recent request of this client, from any thread.
    NetworkState networkState() const noexcept { return _networkState.load(); }

    const std::string& baseUrl() const noexcept { return _baseUrl; }

private:
    Result<ServiceAnswer> fail(const std::string& reason);

    std::string _baseUrl;
    ServiceTimeouts _timeouts;
    std::string _trustedCertificates; // empty: the system's store
    std::atomic<NetworkState> _networkState{NetworkState::UNKNOWN};
};

} // namespace tollwick
