#pragma once
// The routing table of the HTTP application and the matching of its path patterns.
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "web/api/handlers.h"

namespace tollwick::web {

enum class Method { GET, POST };
enum class Login { OPEN, REQUIRED };
// What a route reads of a request body: nothing (bodies are dropped, up to MAX_OTHER_BODY_BYTES),
// JSON of up to MAX_JSON_BODY_BYTES read before the handler runs, or a multipart form whose file
// streams to a temporary file as it arrives: an upload (a sound file of up to MAX_UPLOAD_BYTES) or
// a backup archive (up to MAX_ARCHIVE_BYTES).
enum class Body { NONE, JSON, UPLOAD, ARCHIVE };

// The largest file part a form of `body` (UPLOAD or ARCHIVE) may carry.
std::size_t maxFormFileBytes(Body body);

struct Route {
    // "<name>" is one path segment passed as a parameter; "<path:name>" is the rest of the path,
    // slashes included.
    std::string_view pattern;
    Method method;
    Login login;
    Body body;
    HandlerFunction handler;
};

// Every route of the system, in the order in which they are tried: a fixed route comes before
// the catch-all, which answers every GET that no other route takes.
const std::vector<Route>& routingTable();

// The regular expression that matches a pattern's paths, one group per parameter, and the
// parameters' names in order.
struct PathMatcher {
    std::string expression;
    std::vector<std::string> names;
};
PathMatcher compilePattern(std::string_view pattern);

// The first route that takes `method` ("HEAD" counts as "GET") on `path`, or nothing.
const Route* findRoute(std::string_view method, const std::string& path);

// The largest request body `route` accepts (nullptr: no route).
std::size_t bodyLimit(const Route* route);
// The largest request body any route accepts.
std::size_t largestBodyLimit();

// The methods the routes that match `path` allow ("GET, HEAD" for GET routes), in table order;
// empty when no route matches the path.
std::string allowedMethods(const std::string& path);

} // namespace tollwick::web
