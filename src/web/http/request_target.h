#pragma once
// A request target as the routes read it: the path cut into segments, each percent-decoded on its
// own (so that "%2F" stays inside its segment), and the query as decoded name-value pairs.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick::web {

// Query parameters, by name, in the order they came.
using Args = std::multimap<std::string, std::string>;

struct RequestTarget {
    std::vector<std::string> segments; // "/" has none; "/a//b/" has "a", "", "b", ""
    std::string path;                  // the decoded segments joined by "/", after a leading "/"
    Args args;
};

// `target` begins with "/"; what follows "?" is the query and what follows "#" is dropped.
RequestTarget readTarget(std::string_view target);

// "%XX" becomes the byte XX; anything else, a "%" without two hexadecimal digits included, stays
// as it is. In a query (`plusIsSpace`), "+" is a blank.
std::string percentDecode(std::string_view text, bool plusIsSpace = false);

} // namespace tollwick::web
