#include "web/api/routes.h"

namespace tollwick::web {

namespace {
constexpr Method GET = Method::GET;
constexpr Method POST = Method::POST;
constexpr Login OPEN = Login::OPEN;
constexpr Login LOGIN = Login::REQUIRED;
constexpr Login TOKEN = Login::TOKEN;

constexpr std::uint64_t KiB = 1024;

// Stray bodies of routes that read none are dropped as they come, up to this much.
constexpr BodyRule NONE{BodyRule::Kind::NONE, 64 * KiB};
// A login or a new password is a few hundred bytes: nobody needs more to log in.
constexpr BodyRule SMALL_JSON{BodyRule::Kind::JSON, 4 * KiB};
constexpr BodyRule JSON{BodyRule::Kind::JSON, MAX_JSON_BODY_BYTES};
// The file, the form's text fields and the form's own frame around them.
constexpr BodyRule UPLOAD{BodyRule::Kind::UPLOAD, MAX_UPLOAD_BYTES + MAX_FORM_FIELD_BYTES + 64 * KiB};
constexpr BodyRule ARCHIVE{BodyRule::Kind::ARCHIVE, MAX_ARCHIVE_BYTES + MAX_FORM_FIELD_BYTES + 64 * KiB};
} // namespace

const std::vector<Route>& routingTable() {
    // clang-format off
    static const std::vector<Route> table = {
        // path                                        method  login  body        handler
        {PathPattern("/whoami"),                       GET,    OPEN,  NONE,       endpoint_whoami},
        {PathPattern("/auth/login"),                   POST,   OPEN,  SMALL_JSON, auth_login},
        {PathPattern("/auth/logout"),                  GET,    LOGIN, NONE,       auth_logout},
        {PathPattern("/auth/chpasswd"),                POST,   LOGIN, SMALL_JSON, auth_chpasswd},
        {PathPattern("/auth/setup"),                   GET,    OPEN,  NONE,       auth_setup},
        {PathPattern("/metrics"),                      GET,    TOKEN, NONE,       metrics_endpoint},
        {PathPattern("/healthz"),                      GET,    OPEN,  NONE,       healthz_endpoint},
        {PathPattern("/"),                             GET,    OPEN,  NONE,       serve_static},
        {PathPattern("/api/get/<target>"),             GET,    LOGIN, NONE,       get_endpoint},
        {PathPattern("/api/trigger/<target>/<id>"),    GET,    LOGIN, NONE,       trigger_endpoint},
        {PathPattern("/db"),                           GET,    LOGIN, NONE,       get_db},
        {PathPattern("/upload"),                       POST,   LOGIN, UPLOAD,     upload_file},
        {PathPattern("/get_signal_file/<id>"),         GET,    LOGIN, NONE,       get_signal_file},
        {PathPattern("/db/timetables"),                GET,    LOGIN, NONE,       get_timetables},
        {PathPattern("/db/timetables/create"),         POST,   LOGIN, JSON,       timetables_create},
        {PathPattern("/db/timetables/update/<id>"),    POST,   LOGIN, JSON,       timetables_update},
        {PathPattern("/db/settings/update"),           POST,   LOGIN, JSON,       update_settings},
        {PathPattern("/backup"),                       GET,    LOGIN, NONE,       get_backup},
        {PathPattern("/restore"),                      POST,   LOGIN, ARCHIVE,    restore_backup},
        // The interface's files and pages; last, so that every fixed route above wins.
        {PathPattern("/<path:path>"),                  GET,    OPEN,  NONE,       serve_static},
    };
    // clang-format on
    return table;
}

RouteMatch findRoute(std::string_view method, const std::vector<std::string>& segments) {
    const bool get = method == "GET" || method == "HEAD";
    const bool post = method == "POST";
    RouteMatch match;
    bool getFits = false;
    bool postFits = false;
    for (const Route& route : routingTable()) {
        std::map<std::string, std::string> params;
        if (!route.pattern.match(segments, params))
            continue;
        if ((route.method == GET && get) || (route.method == POST && post)) {
            match.route = &route;
            match.params = std::move(params);
            return match;
        }
        (route.method == GET ? getFits : postFits) = true;
    }
    match.allowed = getFits ? "GET, HEAD" : "";
    if (postFits)
        match.allowed += match.allowed.empty() ? "POST" : ", POST";
    return match;
}

std::uint64_t maxFormFileBytes(BodyRule::Kind kind) {
    return kind == BodyRule::Kind::ARCHIVE ? MAX_ARCHIVE_BYTES : MAX_UPLOAD_BYTES;
}

} // namespace tollwick::web
