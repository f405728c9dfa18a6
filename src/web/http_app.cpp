#include "web/http_app.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <mutex>

#include <httplib.h>
#include <spdlog/spdlog.h>

#include "web/routes.h"
#include "web/worker_pool.h"

namespace tollwick {

namespace {

using namespace web;

// Signs sessions until start-up sets the installation's salt.
constexpr const char* BUILT_IN_SESSION_KEY = "9555e7fde08ec7c6d49431712381a97c3bf922cd53e7221f311aba470c33dad9";

// Enough for the few browsers of one school; a browser keeps up to six connections open.
constexpr std::size_t WORKER_THREADS = 8;
// An idle keep-alive connection holds a worker; it is let go after this many seconds.
constexpr time_t KEEP_ALIVE_SECONDS = 2;
constexpr std::size_t KEEP_ALIVE_MAX_REQUESTS = 100;
// Room for the multipart envelope around an upload of the largest accepted size; larger files are
// refused by upload_file itself.
constexpr std::size_t MAX_BODY_BYTES = MAX_UPLOAD_BYTES + 1024 * 1024;

constexpr std::array<std::pair<const char*, const char*>, 3> NO_CACHE_HEADERS{{
    {"Cache-Control", "no-store, no-cache, must-revalidate, max-age=0"},
    {"Pragma", "no-cache"},
    {"Expires", "0"},
}};

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
    for (const auto& [name, part] : req.files)
        request.parts.push_back({part.name, part.filename, part.content});
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

} // namespace

struct HttpApp::Impl {
    WebContext ctx;
    httplib::Server server;
    mutable std::mutex keyMutex; // guards sessionKey
    std::string sessionKey = BUILT_IN_SESSION_KEY;

    Impl(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day)
        : ctx{docs, clock, player, alarm, api, std::move(day), {}} {}

    std::string key() const {
        std::scoped_lock lock(keyMutex);
        return sessionKey;
    }

    void dispatch(const Handler& handler, const std::vector<std::string>& names, const httplib::Request& req,
                  httplib::Response& res) {
        Request request = toWebRequest(req, names);
        const std::string signingKey = key();
        if (auto cookie = cookieValue(req.get_header_value("Cookie"), SESSION_COOKIE_NAME))
            request.session = decodeSessionCookie(*cookie, signingKey);
        Response response;
        try {
            response = handler(ctx, request);
        } catch (const HttpError& e) {
            response = Response(e.status(), PLAIN_TEXT, e.what());
        } catch (const std::exception& e) {
            spdlog::error("Exception on {} [{}]: {}", req.path, req.method, e.what());
            response = Response(500, PLAIN_TEXT, "Internal Server Error");
        }
        if (request.session.modified())
            res.set_header("Set-Cookie",
                           sessionSetCookieHeader(encodeSessionCookie(request.session.data(), signingKey)));
        for (const auto& [name, value] : response.headers)
            res.set_header(name, value);
        if (response.file)
            sendFile(response, res);
        else
            setBody(res, response.status, std::move(response.body), response.contentType);
    }

    void registerRoutes() {
        for (const Route& route : routingTable()) {
            PathMatcher matcher = compilePattern(route.pattern);
            Handler handler = route.login == Login::REQUIRED ? require_login(route.handler) : Handler(route.handler);
            auto serve = [this, handler = std::move(handler), names = matcher.names](const httplib::Request& req,
                                                                                     httplib::Response& res) {
                dispatch(handler, names, req, res);
            };
            if (route.method == Method::GET)
                server.Get(matcher.expression, std::move(serve));
            else
                server.Post(matcher.expression, std::move(serve));
        }
        // Registered after every route, so they answer only what no route takes. Bodies have been
        // read by then, so a refused request leaves nothing behind on a kept-alive connection.
        server.Post(".*", refuseMethod);
        server.Put(".*", refuseMethod);
        server.Patch(".*", refuseMethod);
        server.Delete(".*", refuseMethod);
        server.Options(".*", refuseMethod);
    }

    void configureServer() {
        server.new_task_queue = [] { return new WorkerPool(WORKER_THREADS); };
        server.set_keep_alive_timeout(KEEP_ALIVE_SECONDS);
        server.set_keep_alive_max_count(KEEP_ALIVE_MAX_REQUESTS);
        server.set_payload_max_length(MAX_BODY_BYTES);
        // Head and body go out in separate writes; without this the body waits for the client's
        // delayed acknowledgement of the head (tens of milliseconds per answer).
        server.set_tcp_nodelay(true);

        // Methods the library has no route table for (TRACE, CONNECT) are refused like the others.
        server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
            static constexpr std::array<std::string_view, 7> ROUTED{"GET",   "HEAD",   "POST",   "PUT",
                                                                    "PATCH", "DELETE", "OPTIONS"};
            if (std::find(ROUTED.begin(), ROUTED.end(), req.method) != ROUTED.end())
                return httplib::Server::HandlerResponse::Unhandled;
            refuseMethod(req, res);
            return httplib::Server::HandlerResponse::Handled;
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
        // Every answer, errors and files included, forbids caching; plain-text reasons that echo
        // what a browser sent are never taken for a page.
        server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
            for (const auto& [name, value] : NO_CACHE_HEADERS) {
                res.headers.erase(name);
                res.set_header(name, value);
            }
            res.headers.erase("X-Content-Type-Options");
            res.set_header("X-Content-Type-Options", "nosniff");
        });
    }
};

HttpApp::HttpApp(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day)
    : _impl(std::make_unique<Impl>(docs, clock, player, alarm, api, std::move(day))) {
    _impl->configureServer();
    _impl->registerRoutes();
}

HttpApp::~HttpApp() = default;

void HttpApp::setSessionKey(std::string key) {
    std::scoped_lock lock(_impl->keyMutex);
    _impl->sessionKey = std::move(key);
}

bool HttpApp::listen(const std::string& host, int port) {
    return bind(host, port) != -1 && serve();
}

int HttpApp::bind(const std::string& host, int port) {
    if (port == 0)
        return _impl->server.bind_to_any_port(host);
    return _impl->server.bind_to_port(host, port) ? port : -1;
}

bool HttpApp::serve() {
    return _impl->server.listen_after_bind();
}

bool HttpApp::isRunning() const {
    return _impl->server.is_running();
}

void HttpApp::stop() {
    _impl->server.stop();
}

} // namespace tollwick
