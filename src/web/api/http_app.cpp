#include "web/api/http_app.h"

#include <mutex>

#include <spdlog/spdlog.h>

#include "runtime/paths.h"
#include "web/api/routes.h"
#include "web/api/target_api.h"
#include "web/http/form_receiver.h"
#include "web/http/front_server.h"
#include "web/http/request_guard.h"

namespace tollwick {

namespace {

using namespace web;

// Signs sessions until start-up sets the installation's salt.
constexpr const char* BUILT_IN_SESSION_KEY = "9555e7fde08ec7c6d49431712381a97c3bf922cd53e7221f311aba470c33dad9";

// Every answer, errors and files included, forbids caching; plain-text reasons that echo what a
// browser sent are never taken for a page.
HeaderList after_request() {
    return {
        {"Cache-Control", "no-store, no-cache, must-revalidate, max-age=0"},
        {"Pragma", "no-cache"},
        {"Expires", "0"},
        {"X-Content-Type-Options", "nosniff"},
    };
}

BodyUse bodyUseOf(BodyRule::Kind kind) {
    switch (kind) {
    case BodyRule::Kind::JSON:
        return BodyUse::BUFFER;
    case BodyRule::Kind::UPLOAD:
    case BodyRule::Kind::ARCHIVE:
        return BodyUse::STREAM;
    case BodyRule::Kind::NONE:
        break;
    }
    return BodyUse::DROP;
}

RequestPlan refused(int status, std::string reason, HeaderList headers = {}) {
    RequestPlan plan;
    plan.refusal = Refusal{status, std::move(reason), std::move(headers)};
    return plan;
}

} // namespace

struct HttpApp::Impl {
    WebContext ctx;
    mutable std::mutex configMutex; // guards sessionKey and hosts
    std::string sessionKey = BUILT_IN_SESSION_KEY;
    HostPolicy hosts;
    FrontServer front; // last: its threads use everything above

    Impl(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day,
         const FrontLimits& limits)
        : ctx{docs, clock, player, alarm, api, std::move(day), {}, {}, LoginThrottle(), {}},
          front(
              limits, [this](Request& request) { return plan(request); }, after_request()) {
        ctx.startedAt = clock.getClock();
    }

    std::string key() const {
        std::scoped_lock lock(configMutex);
        return sessionKey;
    }

    // Where the front asks, as soon as a head is complete: the host the request was sent to, whether
    // another site started it (for the API and the login routes), its route and what the route
    // reads of the body. Quick and without the document mutex: it runs on the accepting thread.
    RequestPlan plan(Request& request) {
        const auto host = request.header("Host");
        if (!host)
            return refused(400, "The request has no Host header");
        bool allowed = false;
        {
            std::scoped_lock lock(configMutex);
            allowed = hosts.allows(*host);
        }
        if (!allowed) {
            const std::string name = hostNameOf(*host);
            return refused(421, "This server does not answer to the host name \"" + name +
                                    "\". To reach it by that name, start it with --allowed-host " + name +
                                    " (or list the name in TOLLWICK_ALLOWED_HOSTS).");
        }
        RouteMatch match = findRoute(request.method, request.segments);
        const Route* route = match.route;
        if ((route && route->login != Login::OPEN) || request.path.starts_with("/auth/")) {
            if (auto reason = crossSiteRefusal(*host, request.header("Sec-Fetch-Site"), request.header("Origin"),
                                               request.header("Referer")))
                return refused(403, std::move(*reason));
        }
        if (!route) {
            // Answered like any request, so that the connection stays usable.
            RequestPlan plan;
            plan.limit = routingTable().back().body.limit;
            plan.answer = [allowed = std::move(match.allowed)](Request&, BodyReader*) {
                if (allowed.empty())
                    return Response(404, PLAIN_TEXT, "Not Found");
                Response response(405, PLAIN_TEXT, "Method Not Allowed");
                response.headers.emplace_back("Allow", allowed);
                return response;
            };
            return plan;
        }
        request.pathParams = std::move(match.params);
        RequestPlan plan;
        plan.body = bodyUseOf(route->body.kind);
        plan.limit = route->body.limit;
        if (route->login != Login::OPEN && plan.body != BodyUse::DROP)
            plan.admit = [this, route](Request& r) { return checkLogin(*route, r); };
        plan.answer = [this, route](Request& r, BodyReader* body) { return answer(*route, r, body); };
        return plan;
    }

    // Reads the session and, for a route that needs it, checks the login: once per request, on a
    // worker (before the body, for routes that read one).
    std::optional<Response> checkLogin(const Route& route, Request& request) {
        request.loginChecked = true;
        if (const auto cookie = request.header("Cookie"))
            if (const auto value = cookieValue(*cookie, SESSION_COOKIE_NAME))
                request.session = decodeSessionCookie(*value, key());
        if (route.login == Login::REQUIRED)
            return require_login(ctx, request);
        if (route.login == Login::TOKEN)
            return require_metrics_token(ctx, request);
        return std::nullopt;
    }

    Response answer(const Route& route, Request& request, BodyReader* body) {
        const std::string signingKey = key();
        Response response;
        try {
            if (std::optional<Response> refusal = request.loginChecked ? std::nullopt : checkLogin(route, request))
                response = std::move(*refusal);
            else
                response = handle(route, request, body);
        } catch (const HttpError& e) {
            response = Response(e.status(), PLAIN_TEXT, e.what());
        } catch (const std::exception& e) {
            spdlog::error("Exception on {} [{}]: {}", request.path, request.method, e.what());
            response = Response(500, PLAIN_TEXT, "Internal Server Error");
        }
        if (request.session.modified())
            response.headers.emplace_back(
                "Set-Cookie", sessionSetCookieHeader(encodeSessionCookie(request.session.data(), signingKey)));
        // A form's temporary file that the handler did not take is gone before the answer is.
        request.parts.clear();
        return response;
    }

    // A form's file part streams into a temporary file in the user-data directory before the
    // handler gets the parts.
    Response handle(const Route& route, Request& request, BodyReader* body) {
        if (body) {
            FormReceiver form(getUserFilePath(), maxFormFileBytes(route.body.kind), ctx.day.files);
            readForm(*body, request.header("Content-Type"), form);
            request.parts = form.takeParts();
        }
        return route.handler(ctx, request);
    }
};

HttpApp::HttpApp(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day,
                 web::FrontLimits limits)
    : _impl(std::make_unique<Impl>(docs, clock, player, alarm, api, std::move(day), limits)) {}

HttpApp::~HttpApp() = default;

Json HttpApp::answer(const std::string& target) {
    return web::get_target(_impl->ctx, target, {});
}

void HttpApp::setSessionKey(std::string key) {
    std::scoped_lock lock(_impl->configMutex);
    _impl->sessionKey = std::move(key);
}

void HttpApp::setAllowedHosts(const std::vector<std::string>& names) {
    std::scoped_lock lock(_impl->configMutex);
    _impl->hosts = HostPolicy(names);
}

void HttpApp::setStartupWarnings(std::vector<std::string> warnings) {
    _impl->ctx.startupWarnings = std::move(warnings);
}

bool HttpApp::listen(const std::string& host, int port) {
    return bind(host, port) != -1 && serve();
}

int HttpApp::bind(const std::string& host, int port) {
    return _impl->front.bind(host, port);
}

bool HttpApp::serve() {
    return _impl->front.serve();
}

bool HttpApp::isRunning() const {
    return _impl->front.isRunning();
}

void HttpApp::stop() {
    _impl->front.stop();
}

bool HttpApp::waitUntilStopped(std::chrono::steady_clock::duration timeout) const {
    return _impl->front.waitUntilStopped(timeout);
}

std::optional<std::string> HttpApp::offerSetupCode() {
    WebContext& ctx = _impl->ctx;
    bool passwordSet = false;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        passwordSet = ctx.docs.shadow->isPasswordSet();
    }
    const std::filesystem::path file = getUserFilePath(SETUP_CODE_FILE_NAME);
    if (passwordSet) {
        ctx.setupCode.retire(file);
        return std::nullopt;
    }
    const std::string code = ctx.setupCode.renew();
    try {
        ctx.setupCode.writeTo(file);
    } catch (const std::exception& e) {
        spdlog::warn("The set-up code could not be written to {}: {}", file.string(), e.what());
    }
    return code;
}

web::FrontLoad HttpApp::load() const {
    return _impl->front.load();
}

} // namespace tollwick
