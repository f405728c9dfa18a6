#pragma once
// A route's path pattern, matched against a request's path segment by segment: "/api/get/<target>"
// takes three segments, the last one as the parameter "target"; "<path:name>" takes every segment
// that is left, at least one, joined again by "/". Matching walks the segments once, whatever their
// number and length, and uses no recursion.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick::web {

class PathPattern {
public:
    // "/" alone matches only the path "/". A parameter takes a whole segment; "<path:...>" may only
    // come last.
    explicit PathPattern(std::string_view pattern);

    // Whether `segments` (the path "/" has none) fit the pattern; the parameters' values are then
    // in `params`, by name. A parameter's segment is never empty, nor is the rest a "<path:...>" takes.
    bool match(const std::vector<std::string>& segments, std::map<std::string, std::string>& params) const;

    std::string_view text() const noexcept { return _text; }

private:
    struct Piece {
        enum class Kind { LITERAL, PARAMETER, REST } kind;
        std::string text; // the literal, or the parameter's name
    };
    std::string _text;
    std::vector<Piece> _pieces;
};

} // namespace tollwick::web
