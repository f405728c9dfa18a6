#include "web/routes.h"

namespace tollwick::web {

namespace {
constexpr Method GET = Method::GET;
constexpr Method POST = Method::POST;
constexpr Login OPEN = Login::OPEN;
constexpr Login LOGIN = Login::REQUIRED;
} // namespace

const std::vector<Route>& routingTable() {
    // clang-format off
    static const std::vector<Route> table = {
        // path                            method  login  handler
        {"/whoami",                        GET,    OPEN,  endpoint_whoami},
        {"/auth/login",                    POST,   OPEN,  auth_login},
        {"/auth/logout",                   GET,    LOGIN, auth_logout},
        {"/auth/chpasswd",                 POST,   LOGIN, auth_chpasswd},
        {"/",                              GET,    OPEN,  serve_static},
        {"/api/get/<target>",              GET,    LOGIN, get_endpoint},
        {"/api/trigger/<target>/<id>",     GET,    LOGIN, trigger_endpoint},
        {"/db",                            GET,    LOGIN, get_db},
        {"/upload",                        POST,   LOGIN, upload_file},
        {"/get_signal_file/<id>",          GET,    LOGIN, get_signal_file},
        {"/db/timetables",                 GET,    LOGIN, get_timetables},
        {"/db/timetables/create",          POST,   LOGIN, timetables_create},
        {"/db/timetables/update/<id>",     POST,   LOGIN, timetables_update},
        {"/db/settings/update",            POST,   LOGIN, update_settings},
        {"/backup",                        GET,    LOGIN, get_backup},
        {"/restore",                       POST,   LOGIN, restore_backup},
        // The interface's files and pages; last, so that every fixed route above wins.
        {"/<path:path>",                   GET,    OPEN,  serve_static},
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

std::string allowedMethods(const std::string& path) {
    static const std::vector<std::pair<std::regex, Method>> matchers = [] {
        std::vector<std::pair<std::regex, Method>> out;
        for (const Route& route : routingTable())
            out.emplace_back(std::regex(compilePattern(route.pattern).expression), route.method);
        return out;
    }();
    bool get = false, post = false;
    for (const auto& [regex, method] : matchers) {
        if (std::regex_match(path, regex))
            (method == Method::GET ? get : post) = true;
    }
    std::string allowed = get ? "GET, HEAD" : "";
    if (post)
        allowed += allowed.empty() ? "POST" : ", POST";
    return allowed;
}

} // namespace tollwick::web
