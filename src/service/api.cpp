#include "service/api.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <utility>

#include <spdlog/spdlog.h>

#include "runtime/paths.h"
#include "runtime/version.h"
#include "service/http_get.h"
#include "storage/atomic_file.h"

namespace tollwick {

std::string defaultServiceBaseUrl() {
    if (const char* configured = std::getenv("TOLLWICK_SERVICE_URL"); configured && *configured)
        return configured;
    return std::string(isRelease() ? RELEASE_SERVICE_BASE_URL : DEVELOPMENT_SERVICE_BASE_URL);
}

Api::Api(std::string baseUrl, ServiceTimeouts timeouts) : _baseUrl(std::move(baseUrl)), _timeouts(timeouts) {}

void Api::setTrustedCertificates(std::string pemFile) {
    _trustedCertificates = std::move(pemFile);
}

Result<ServiceAnswer> Api::fail(const std::string& reason) {
    _networkState = NetworkState::ERROR;
    spdlog::warn("Internet is unreachable");
    spdlog::debug("Service request failed: {}", reason);
    return Result<ServiceAnswer>::Err(reason);
}

Result<ServiceAnswer> Api::get(const QueryParams& params) {
    try {
        const ServiceAddress address = splitServiceBaseUrl(_baseUrl);
        const std::string path = address.pathPrefix + std::string(SERVICE_ENDPOINT_PATH);
        const std::string url = address.origin + path;

        const std::string target = params.empty() ? path : path + "?" + encodeQuery(params);
        // A failed exchange throws, and is answered by the catch below.
        HttpAnswer response =
            httpGet(address, target, HttpLimits{_timeouts.connect, _timeouts.read}, _trustedCertificates);

        const int status = response.status;
        ServiceAnswer answer;
        try {
            answer = ServiceAnswer::decode(response.contentType, std::move(response.body));
        } catch (const std::exception& e) {
            return fail("GET " + url + ": the JSON answer does not parse: " + e.what());
        }
        if (spdlog::should_log(spdlog::level::debug))
            spdlog::debug("RESP {} {}", status, answer.describe());
        _networkState = NetworkState::OK;
        if (status == 200)
            return Result<ServiceAnswer>::Ok(std::move(answer));
        return Result<ServiceAnswer>::Err(answer.describe());
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

Result<ServiceAnswer> Api::ping() {
    std::string version;
    try {
        version = getVersion();
    } catch (const std::exception& e) {
        // The ping still reports that the program is alive; the version is then unknown.
        spdlog::debug("No version for the ping: {}", e.what());
        version = "?";
    }
    return get({{"c", "ping"}, {"version", version}});
}

Result<ServiceAnswer> Api::getCalendarRegistry() {
    return get({{"c", "getCalendarRegistry"}});
}

Result<std::monostate> Api::downloadAnnouncement(const std::string& id, const std::string& path) {
    const Result<ServiceAnswer> result = get({{"c", "downloadAnnouncement"}, {"id", id}});
    if (!result.isOk())
        return Result<std::monostate>::Err(result.getError());
    try {
        writeFileAtomically(std::filesystem::path(path), result.getValue().rawBody());
    } catch (const std::exception& e) {
        return Result<std::monostate>::Err(std::string("Failed to write file: ") + e.what());
    }
    return Result<std::monostate>::Ok({});
}

} // namespace tollwick
