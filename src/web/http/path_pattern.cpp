#include "web/http/path_pattern.h"

#include <stdexcept>

namespace tollwick::web {

PathPattern::PathPattern(std::string_view pattern) : _text(pattern) {
    if (!pattern.starts_with('/'))
        throw std::invalid_argument("A path pattern begins with /: " + _text);
    pattern.remove_prefix(1);
    while (!pattern.empty()) {
        const std::size_t slash = pattern.find('/');
        const std::string_view piece = pattern.substr(0, slash);
        pattern = slash == std::string_view::npos ? std::string_view{} : pattern.substr(slash + 1);
        if (!_pieces.empty() && _pieces.back().kind == Piece::Kind::REST)
            throw std::invalid_argument("Nothing may follow <path:...> in " + _text);
        if (piece.starts_with("<path:") && piece.ends_with('>'))
            _pieces.push_back({Piece::Kind::REST, std::string(piece.substr(6, piece.size() - 7))});
        else if (piece.starts_with('<') && piece.ends_with('>'))
            _pieces.push_back({Piece::Kind::PARAMETER, std::string(piece.substr(1, piece.size() - 2))});
        else
            _pieces.push_back({Piece::Kind::LITERAL, std::string(piece)});
    }
}

bool PathPattern::match(const std::vector<std::string>& segments, std::map<std::string, std::string>& params) const {
    std::map<std::string, std::string> found;
    std::size_t at = 0;
    for (const Piece& piece : _pieces) {
        if (at == segments.size())
            return false;
        switch (piece.kind) {
        case Piece::Kind::LITERAL:
            if (segments[at] != piece.text)
                return false;
            ++at;
            break;
        case Piece::Kind::PARAMETER:
            if (segments[at].empty())
                return false;
            found[piece.text] = segments[at++];
            break;
        case Piece::Kind::REST: {
            std::string rest = segments[at++];
            for (; at < segments.size(); ++at)
                (rest += '/') += segments[at];
            if (rest.empty())
                return false;
            found[piece.text] = std::move(rest);
            break;
        }
        }
    }
    if (at != segments.size())
        return false;
    params = std::move(found);
    return true;
}

} // namespace tollwick::web
