#include "web/api/http_app.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <mutex>

#include <httplib.h>
#include <spdlog/spdlog.h>

#include "runtime/paths.h"
#include "web/http/form_receiver.h"
#include "web/http/front_server.h"
#include "web/http/request_guard.h"
#include "web/api/routes.h"

namespace tollwick {

namespace {

using namespace web;

// Signs sessions until start-up sets the installation's salt.
constexpr const char* BUILT_IN_SESSION_KEY = "9555e7fde08ec7c6d49431712381a97c3bf922cd53e7221f311aba470c33dad9";

// The request line's limit, as the HTTP library keeps it.
constexpr std::size_t MAX_REQUEST_LINE = 8192;

const std::vector<std::pair<std::string, std::string>>& answerHeaders() {
    // Every answer, errors and files included, forbids caching; plain-text reasons that echo what a
    // browser sent are never taken for a page.
    static const std::vector<std::pair<std::string, std::string>> headers{
        {"Cache-Control", "no-store, no-cache, must-revalidate, max-age=0"},
        {"Pragma", "no-cache"},
        {"Expires", "0"},
        {"X-Content-Type-Options", "nosniff"},
    };
    return headers;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    default:
        return "Error";
    }
}

void setBody(httplib::Response& res, int status, std::string body, const std::string& contentType) {
    res.status = status;
    res.body = std::move(body);
    res.set_header("Content-Type", contentType);
}

// Refuses a method that no route matching the path allows: 405 with the methods that are allowed.
void refuseMethod(const httplib::Request& req, httplib::Response& res) {
    const std::string allowed = allowedMethods(req.path);
    if (allowed.empty()) {
        setBody(res, 404, "Not Found", PLAIN_TEXT);
        return;
    }
    res.set_header("Allow", allowed);
    setBody(res, 405, "Method Not Allowed", PLAIN_TEXT);
}

Request toWebRequest(const httplib::Request& req, const std::vector<std::string>& names) {
    Request request;
    request.method = req.method;
    request.path = req.path;
    for (std::size_t i = 0; i < names.size() && i + 1 < req.matches.size(); ++i)
        request.pathParams[names[i]] = req.matches[i + 1].str();
    request.args.insert(req.params.begin(), req.params.end());
    request.body = req.body;
    request.remoteAddress = req.remote_addr;
    return request;
}

// Files are read as they are sent. A 200 is left to the library, which answers range requests
// with 206 and the requested part.
// A file made for one answer goes once the answer is done with it.
struct SentFile {
    std::ifstream in;
    std::filesystem::path removeAfterwards;
    ~SentFile() {
        if (removeAfterwards.empty())
            return;
        in.close();
        std::error_code ignored;
        std::filesystem::remove(removeAfterwards, ignored);
    }
};

void sendFile(const Response& response, httplib::Response& res) {
    auto sent = std::make_shared<SentFile>();
    sent->in.open(*response.file, std::ios::binary);
    if (response.removeFileWhenSent)
        sent->removeAfterwards = *response.file;
    std::ifstream* stream = &sent->in;
    std::error_code error;
    const auto size = std::filesystem::file_size(*response.file, error);
    if (!*stream || error) {
        setBody(res, 404, "Not Found", PLAIN_TEXT);
        return;
    }
    if (response.status != 200)
        res.status = response.status;
    res.set_content_provider(static_cast<std::size_t>(size), response.contentType,
                             [sent, stream](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 std::array<char, 64 * 1024> buffer;
                                 stream->clear();
                                 stream->seekg(static_cast<std::streamoff>(offset));
                                 stream->read(buffer.data(),
                                              static_cast<std::streamsize>(std::min(length, buffer.size())));
                                 const auto got = stream->gcount();
                                 return got > 0 && sink.write(buffer.data(), static_cast<std::size_t>(got));
                             });
}

// The HTTP library's request processing, which the front drives one request at a time.
class Frame : public httplib::Server {
public:
    // The library stops writing streamed answers (files) once its own listening socket is gone. It
    // has none here, the front listens, so it is given a handle that is never used as a socket.
    Frame() { svr_sock_ = static_cast<socket_t>(-2); }
    using httplib::Server::process_request;
};

// What the checks made before routing need to know of a request.
struct RequestFacts {
    std::string_view method;
    const std::string& path; // percent-decoded
    std::function<std::optional<std::string_view>(std::string_view)> header;
};

} // namespace

struct HttpApp::Impl {
    WebContext ctx;
    mutable std::mutex configMutex; // guards sessionKey and hosts
    std::string sessionKey = BUILT_IN_SESSION_KEY;
    HostPolicy hosts;
    Frame server;
    FrontServer front; // last: its threads use everything above

    Impl(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day,
         const FrontLimits& limits)
        : ctx{docs, clock, player, alarm, api, std::move(day), {}, {}, LoginThrottle(), {}},
          front(
              limits, [this](const RequestHead& head, const std::string& peer) { return plan(head, peer); },
              [this](httplib::Stream& stream, bool close, bool& closed) {
                  return server.process_request(stream, close, closed, nullptr);
              },
              answerHeaders()) {
        server.set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.keepAlive).count());
        server.set_keep_alive_max_count(limits.keepAliveMaxRequests);
    }

    std::string key() const {
        std::scoped_lock lock(configMutex);
        return sessionKey;
    }

    Session sessionOf(std::optional<std::string_view> cookieHeader) const {
        if (!cookieHeader)
            return {};
        const auto cookie = cookieValue(*cookieHeader, SESSION_COOKIE_NAME);
        return cookie ? decodeSessionCookie(*cookie, key()) : Session{};
    }

    // The checks every request passes before its body is read or it is routed: the host it was sent
    // to, and for the API and the login routes, that no other site started it.
    std::optional<BodyPlan::Refusal> checkOrigin(const RequestFacts& facts, const Route* route) const {
        const auto host = facts.header("Host");
        if (!host)
            return BodyPlan::Refusal{400, "The request has no Host header", {}};
        bool allowed = false;
        {
            std::scoped_lock lock(configMutex);
            allowed = hosts.allows(*host);
        }
        if (!allowed) {
            const std::string name = hostNameOf(*host);
            return BodyPlan::Refusal{421,
                                     "This server does not answer to the host name \"" + name +
                                         "\". To reach it by that name, start it with --allowed-host " + name +
                                         " (or list the name in TOLLWICK_ALLOWED_HOSTS).",
                                     {}};
        }
        if ((route && route->login == Login::REQUIRED) || facts.path.starts_with("/auth/")) {
            if (auto reason = crossSiteRefusal(*host, facts.header("Sec-Fetch-Site"), facts.header("Origin"),
                                               facts.header("Referer")))
                return BodyPlan::Refusal{403, std::move(*reason), {}};
        }
        return std::nullopt;
    }

    // Decides, from a complete head, whether the body may be read at all and how much of it.
    BodyPlan plan(const RequestHead& head, const std::string& peer) {
        BodyPlan plan;
        const std::size_t lineLength = head.method.size() + head.target.size() + head.version.size() + 4;
        if (lineLength > MAX_REQUEST_LINE) {
            plan.refusal = BodyPlan::Refusal{414, "414 URI Too Long", {}};
            return plan;
        }
        const std::string path = head.path();
        const Route* route = findRoute(head.method, path);
        const RequestFacts facts{head.method, path, [&](std::string_view name) { return head.field(name); }};
        if ((plan.refusal = checkOrigin(facts, route)))
            return plan;
        plan.limit = bodyLimit(route);
        plan.streamed = route && (route->body == Body::UPLOAD || route->body == Body::ARCHIVE);
        // Bodies are not read for clients that could not use them: the login's wait, or no login.
        if (route && route->handler == &auth_login) {
            if (const auto wait = ctx.loginThrottle.waitFor(peer); wait.count() > 0)
                plan.refusal = throttled(wait);
        } else if (route && route->body != Body::NONE && route->login == Login::REQUIRED) {
            Request probe;
            probe.session = sessionOf(head.field("Cookie"));
            if (loginMissing(ctx, probe))
                plan.refusal = BodyPlan::Refusal{400, "No auth", {}};
        }
        return plan;
    }

    static BodyPlan::Refusal throttled(std::chrono::seconds wait) {
        return {429,
                "Too many failed logins from this address; try again in " + std::to_string(wait.count()) + " seconds",
                {{"Retry-After", std::to_string(wait.count())}}};
    }

    void answer(const Response& response, Request& request, const std::string& signingKey, httplib::Response& res) {
        if (request.session.modified())
            res.set_header("Set-Cookie",
                           sessionSetCookieHeader(encodeSessionCookie(request.session.data(), signingKey)));
        for (const auto& [name, value] : response.headers)
            res.set_header(name, value);
        if (response.file)
            sendFile(response, res);
        else
            setBody(res, response.status, response.body, response.contentType);
    }

    Response call(const Handler& handler, Request& request, const httplib::Request& req) {
        try {
            return handler(ctx, request);
        } catch (const HttpError& e) {
            return Response(e.status(), PLAIN_TEXT, e.what());
        } catch (const std::exception& e) {
            spdlog::error("Exception on {} [{}]: {}", req.path, req.method, e.what());
            return Response(500, PLAIN_TEXT, "Internal Server Error");
        }
    }

    void dispatch(const Handler& handler, const std::vector<std::string>& names, const httplib::Request& req,
                  httplib::Response& res) {
        Request request = toWebRequest(req, names);
        const std::string signingKey = key();
        request.session = sessionOf(
            req.has_header("Cookie") ? std::optional<std::string_view>(req.get_header_value("Cookie")) : std::nullopt);
        const Response response = call(handler, request, req);
        answer(response, request, signingKey, res);
    }

    // An upload: the login is checked before a byte of the body is read; then the form's file part
    // streams into a temporary file in the user-data directory and the handler gets the parts.
    void dispatchUpload(const Route& route, const Handler& handler, const std::vector<std::string>& names,
                        const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        Request request = toWebRequest(req, names);
        const std::string signingKey = key();
        request.session = sessionOf(
            req.has_header("Cookie") ? std::optional<std::string_view>(req.get_header_value("Cookie")) : std::nullopt);
        if (route.login == Login::REQUIRED && loginMissing(ctx, request)) {
            answer(BadRequest("No auth"), request, signingKey, res);
            return;
        }
        const Response response = call(
            [&](WebContext& context, Request& r) -> Response {
                if (req.is_multipart_form_data()) {
                    FormReceiver form(getUserFilePath(), maxFormFileBytes(route.body));
                    const bool read = reader(
                        [&](const httplib::MultipartFormData& part) {
                            return form.beginPart(part.name, part.filename);
                        },
                        [&](const char* data, std::size_t length) {
                            return form.receive({data, length});
                        });
                    if (form.refusal())
                        throw *form.refusal();
                    if (!read)
                        throw HttpError(400, "The upload is not a well-formed multipart form");
                    r.parts = form.takeParts();
                } else if (!reader([](const char*, std::size_t) { return true; })) {
                    throw HttpError(400, "The upload could not be read");
                }
                return handler(context, r);
            },
            request, req);
        answer(response, request, signingKey, res);
    }

    void registerRoutes() {
        for (const Route& route : routingTable()) {
            PathMatcher matcher = compilePattern(route.pattern);
            Handler handler = route.login == Login::REQUIRED ? require_login(route.handler) : Handler(route.handler);
            if (route.body == Body::UPLOAD || route.body == Body::ARCHIVE) {
                server.Post(matcher.expression, [this, &route, handler = std::move(handler), names = matcher.names](
                                                    const httplib::Request& req, httplib::Response& res,
                                                    const httplib::ContentReader& reader) {
                    dispatchUpload(route, handler, names, req, res, reader);
                });
                continue;
            }
            auto serve = [this, handler = std::move(handler), names = matcher.names](const httplib::Request& req,
                                                                                     httplib::Response& res) {
                dispatch(handler, names, req, res);
            };
            if (route.method == Method::GET)
                server.Get(matcher.expression, std::move(serve));
            else
                server.Post(matcher.expression, std::move(serve));
        }
    }

    void configureServer() {
        // Room for the largest body; every route's own limit was kept by the front before the body came.
        server.set_payload_max_length(largestBodyLimit());

        // Runs before the body is read: the checks of the front again, on the path as the library
        // decoded it, and the refusal of methods that no route takes.
        server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            const Route* route = findRoute(req.method, req.path);
            const RequestFacts facts{req.method, req.path,
                                     [&](std::string_view name) -> std::optional<std::string_view> {
                                         const std::string key(name);
                                         if (!req.has_header(key))
                                             return std::nullopt;
                                         const auto it = req.headers.find(key);
                                         return std::string_view(it->second);
                                     }};
            if (auto refusal = checkOrigin(facts, route)) {
                for (const auto& [name, value] : refusal->headers)
                    res.set_header(name, value);
                setBody(res, refusal->status, refusal->reason, PLAIN_TEXT);
                return httplib::Server::HandlerResponse::Handled;
            }
            if (!route) {
                refuseMethod(req, res);
                return httplib::Server::HandlerResponse::Handled;
            }
            const std::string length = req.get_header_value("Content-Length");
            std::uint64_t declared = 0;
            std::from_chars(length.data(), length.data() + length.size(), declared);
            if (declared > bodyLimit(route)) {
                setBody(res, 413, "The request body is too large", PLAIN_TEXT);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.set_exception_handler([](const httplib::Request& req, httplib::Response& res, std::exception_ptr error) {
            std::string what = "unknown error";
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            spdlog::error("Exception on {} [{}]: {}", req.path, req.method, what);
            setBody(res, 500, "Internal Server Error", PLAIN_TEXT);
        });
        // Runs for every status from 400 on, also when a handler wrote the answer: only the
        // library's own bare answers (no route, body too large, malformed request) get a text.
        server.set_error_handler(
            httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
                if (res.has_header("Content-Type"))
                    return httplib::Server::HandlerResponse::Unhandled;
                setBody(res, res.status, std::to_string(res.status) + " " + reasonPhrase(res.status), PLAIN_TEXT);
                return httplib::Server::HandlerResponse::Handled;
            }));
        server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
            for (const auto& [name, value] : answerHeaders()) {
                res.headers.erase(name);
                res.set_header(name, value);
            }
        });
    }
};

HttpApp::HttpApp(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day,
                 web::FrontLimits limits)
    : _impl(std::make_unique<Impl>(docs, clock, player, alarm, api, std::move(day), limits)) {
    _impl->configureServer();
    _impl->registerRoutes();
}

HttpApp::~HttpApp() = default;

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

} // namespace tollwick
