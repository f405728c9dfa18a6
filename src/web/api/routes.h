#pragma once
// The routing table of the HTTP application, and how a request's path finds its route in it.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "web/api/handlers.h"
#include "web/http/path_pattern.h"

namespace tollwick::web {

enum class Method { GET, POST };
// OPEN: anyone. REQUIRED: a logged-in session. TOKEN: the monitoring token as a bearer token,
// while a password is set; anyone before.
enum class Login { OPEN, REQUIRED, TOKEN };

// What a route reads of a request body, and the most it takes: nothing (a body is read and dropped),
// JSON read whole before the handler runs, or a multipart form whose file streams to a temporary
// file as it arrives: an upload (a sound file) or a backup archive.
struct BodyRule {
    enum class Kind { NONE, JSON, UPLOAD, ARCHIVE } kind;
    std::uint64_t limit;
};

struct Route {
    PathPattern pattern;
    Method method;
    Login login;
    BodyRule body;
    HandlerFunction handler;
};

// Every route of the system, in the order in which they are tried: a fixed route comes before
// the catch-all, which answers every GET that no other route takes.
const std::vector<Route>& routingTable();

struct RouteMatch {
    const Route* route = nullptr;              // the first route that takes the method on the path
    std::map<std::string, std::string> params; // its path parameters
    std::string allowed;                       // without a route: the methods the path's routes allow
};

// The route for `method` ("HEAD" counts as "GET") on the path of `segments`. Without one,
// `allowed` lists the methods of the routes whose pattern fits the path ("GET, HEAD" for GET
// routes, in table order), empty when none fits.
RouteMatch findRoute(std::string_view method, const std::vector<std::string>& segments);

// The largest file part a form of `kind` (UPLOAD or ARCHIVE) may carry.
std::uint64_t maxFormFileBytes(BodyRule::Kind kind);

} // namespace tollwick::web
