#include "web/api/routes.h"

#include <algorithm>

namespace tollwick::web {

namespace {
constexpr Method GET = Method::GET;
constexpr Method POST = Method::POST;
constexpr Login OPEN = Login::OPEN;
constexpr Login LOGIN = Login::REQUIRED;
constexpr Body NONE = Body::NONE;
constexpr Body JSON = Body::JSON;
constexpr Body UPLOAD = Body::UPLOAD;
constexpr Body ARCHIVE = Body::ARCHIVE;

// The routing table's patterns as regular expressions, in table order.
const std::vector<std::regex>& routeExpressions() {
    static const std::vector<std::regex> expressions = [] {
        std::vector<std::regex> out;
        for (const Route& route : routingTable())
            out.emplace_back(compilePattern(route.pattern).expression);
        return out;
    }();
    return expressions;
}
} // namespace

const std::vector<Route>& routingTable() {
    // clang-format off
    static const std::vector<Route> table = {
        // path                            method  login  body    handler
        {"/whoami",                        GET,    OPEN,  NONE,   endpoint_whoami},
        {"/auth/login",                    POST,   OPEN,  JSON,   auth_login},
        {"/auth/logout",                   GET,    LOGIN, NONE,   auth_logout},
        {"/auth/chpasswd",                 POST,   LOGIN, JSON,   auth_chpasswd},
        {"/",                              GET,    OPEN,  NONE,   serve_static},
        {"/api/get/<target>",              GET,    LOGIN, NONE,   get_endpoint},
        {"/api/trigger/<target>/<id>",     GET,    LOGIN, NONE,   trigger_endpoint},
        {"/db",                            GET,    LOGIN, NONE,   get_db},
        {"/upload",                        POST,   LOGIN, UPLOAD, upload_file},
        {"/get_signal_file/<id>",          GET,    LOGIN, NONE,   get_signal_file},
        {"/db/timetables",                 GET,    LOGIN, NONE,   get_timetables},
        {"/db/timetables/create",          POST,   LOGIN, JSON,   timetables_create},
        {"/db/timetables/update/<id>",     POST,   LOGIN, JSON,   timetables_update},
        {"/db/settings/update",            POST,   LOGIN, JSON,   update_settings},
        {"/backup",                        GET,    LOGIN, NONE,   get_backup},
        {"/restore",                       POST,   LOGIN, ARCHIVE, restore_backup},
        // The interface's files and pages; last, so that every fixed route above wins.
        {"/<path:path>",                   GET,    OPEN,  NONE,   serve_static},
    };
    // clang-format on
    return table;
}

PathMatcher compilePattern(std::string_view pattern) {
    PathMatcher out;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('<', at);
        const std::size_t literalEnd = open == std::string_view::npos ? pattern.size() : open;
        for (const char c : pattern.substr(at, literalEnd - at)) {
            if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos)
                out.expression += '\\';
            out.expression += c;
        }
        if (open == std::string_view::npos)
            break;
        const std::size_t close = pattern.find('>', open);
        std::string_view name = pattern.substr(open + 1, close - open - 1);
        if (name.starts_with("path:")) {
            name.remove_prefix(5);
            out.expression += "(.+)";
        } else {
            out.expression += "([^/]+)";
        }
        out.names.emplace_back(name);
        at = close + 1;
    }
    return out;
}

const Route* findRoute(std::string_view method, const std::string& path) {
    const bool get = method == "GET" || method == "HEAD";
    if (!get && method != "POST")
        return nullptr;
    const auto& table = routingTable();
    const auto& expressions = routeExpressions();
    for (std::size_t i = 0; i < table.size(); ++i)
        if ((table[i].method == Method::GET) == get && std::regex_match(path, expressions[i]))
            return &table[i];
    return nullptr;
}

std::size_t bodyLimit(const Route* route) {
    switch (route ? route->body : Body::NONE) {
    case Body::JSON:
        return MAX_JSON_BODY_BYTES;
    case Body::UPLOAD:
    case Body::ARCHIVE:
        return maxFormFileBytes(route->body) + MAX_FORM_FIELD_BYTES + 64 * 1024; // the file, the fields, the frame
    case Body::NONE:
        break;
    }
    return MAX_OTHER_BODY_BYTES;
}

std::size_t maxFormFileBytes(Body body) {
    return body == Body::ARCHIVE ? MAX_ARCHIVE_BYTES : MAX_UPLOAD_BYTES;
}

std::size_t largestBodyLimit() {
    std::size_t largest = MAX_OTHER_BODY_BYTES;
    for (const Route& route : routingTable())
        largest = std::max(largest, bodyLimit(&route));
    return largest;
}

std::string allowedMethods(const std::string& path) {
    const auto& table = routingTable();
    const auto& expressions = routeExpressions();
    bool get = false, post = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (std::regex_match(path, expressions[i]))
            (table[i].method == Method::GET ? get : post) = true;
    }
    std::string allowed = get ? "GET, HEAD" : "";
    if (post)
        allowed += allowed.empty() ? "POST" : ", POST";
    return allowed;
}

} // namespace tollwick::web
