#pragma once
// The route handlers: plain functions from a request to a response. The routing table
// (web/routes.cpp) says which path and method reach each, and whether login is required.
#include <functional>
#include <optional>

#include "web/api/web_context.h"
#include "web/http/web_types.h"

namespace tollwick::web {

using HandlerFunction = Response (*)(WebContext&, Request&);
using Handler = std::function<Response(WebContext&, Request&)>;

// Whether a password is set and the request's session is not logged in (its cookie says so, and
// the password store still lists its session): what the login guard refuses and what sends the
// interface's pages to the login page. Takes the document mutex.
bool loginMissing(WebContext& ctx, const Request& request);

// The login guard of the routes that need a login: while a password is set, a request whose session
// is not logged in gets BadRequest("No auth") and its handler is not called. With no password
// everything passes (nothing is answered). Takes the document mutex.
std::optional<Response> require_login(WebContext& ctx, const Request& request);

// The guard of the monitoring answer: while a password is set, a request without the monitoring
// token as its bearer token ("Authorization: Bearer <token>") gets 401. Takes the document mutex.
std::optional<Response> require_metrics_token(WebContext& ctx, const Request& request);

// The header that carries the set-up code with the first password (see storage/setup_code.h).
inline constexpr const char* SETUP_CODE_HEADER = "X-Setup-Code";

// The frame: identification, login, logout, password change, the interface's files.
Response endpoint_whoami(WebContext&, Request&);
Response auth_login(WebContext&, Request&);
Response auth_logout(WebContext&, Request&);
Response auth_chpasswd(WebContext&, Request&);
Response auth_setup(WebContext&, Request&);
Response serve_static(WebContext&, Request&);

// The target API: named views of the state and named actions.
Response get_endpoint(WebContext&, Request&);
Response trigger_endpoint(WebContext&, Request&);

// The database endpoints.
Response get_db(WebContext&, Request&);
Response upload_file(WebContext&, Request&);
Response get_signal_file(WebContext&, Request&);
Response get_timetables(WebContext&, Request&);
Response timetables_create(WebContext&, Request&);
Response timetables_update(WebContext&, Request&);
Response update_settings(WebContext&, Request&);

// Monitoring: the figures in Prometheus' text format, and whether the system is healthy.
Response metrics_endpoint(WebContext&, Request&);
Response healthz_endpoint(WebContext&, Request&);

// Backups: the database, the cache and the user's audio files as one zip archive, and back.
Response get_backup(WebContext&, Request&);
Response restore_backup(WebContext&, Request&);

} // namespace tollwick::web
