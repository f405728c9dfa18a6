// A request target and method as the routes read them: the target cut into segments and query,
// and the routing table's answer. Whatever the path, matching must end, take bounded stack, and
// give a parameter only whole, non-empty segments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "web/api/routes.h"
#include "web/http/request_target.h"

using namespace tollwick::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first line is the method, the rest the target.
    const std::size_t newline = text.find('\n');
    const std::string_view method = newline == std::string_view::npos ? "GET" : text.substr(0, newline);
    const std::string target = "/" + std::string(newline == std::string_view::npos ? text : text.substr(newline + 1));
    const RequestTarget read = readTarget(target);
    const RouteMatch match = findRoute(method, read.segments);
    if (!match.route) {
        if (method == "GET" || method == "HEAD")
            __builtin_trap(); // every GET has a route: the start page or the interface's catch-all
        return 0;
    }
    for (const auto& [name, value] : match.params) {
        if (value.empty())
            __builtin_trap();
        if (name != "path" && read.segments.end() == std::find(read.segments.begin(), read.segments.end(), value))
            __builtin_trap(); // a parameter is one whole segment
    }
    return 0;
}
