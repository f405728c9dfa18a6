#include "web/http/multipart.h"

#include <algorithm>
#include <utility>

#include "web/http/request_head.h"

namespace tollwick::web {

namespace {

// Blanks a sender may put after a boundary; more than this many is no form of a browser's.
constexpr std::size_t MAX_PADDING = 64;

std::string_view trimmed(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The value at the start of `text`: a quoted string (where \" and \\ stand for the character they
// escape and every other byte for itself) or a token up to the next ";". `text` moves past it.
std::string takeValue(std::string_view& text) {
    std::string value;
    if (!text.starts_with('"')) {
        const std::size_t end = text.find(';');
        value = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
        return value;
    }
    std::size_t i = 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
            ++i;
        value += text[i];
    }
    text = text.substr(std::min(i + 1, text.size()));
    return value;
}

// The parameters `name` and `filename` of a Content-Disposition of form-data.
struct Disposition {
    bool formData = false;
    std::optional<std::string> name;
    std::string filename;
};

Disposition readDisposition(std::string_view value) {
    Disposition out;
    const std::size_t semicolon = value.find(';');
    out.formData = equalsIgnoringCase(trimmed(value.substr(0, semicolon)), "form-data");
    value = semicolon == std::string_view::npos ? std::string_view{} : value.substr(semicolon);
    while (!value.empty()) {
        value.remove_prefix(1); // the ";"
        const std::size_t eq = value.find('=');
        if (eq == std::string_view::npos)
            break;
        const std::string_view parameter = trimmed(value.substr(0, eq));
        value = trimmed(value.substr(eq + 1));
        std::string text = takeValue(value);
        if (equalsIgnoringCase(parameter, "name"))
            out.name = std::move(text);
        else if (equalsIgnoringCase(parameter, "filename"))
            out.filename = std::move(text);
        value = value.substr(std::min(value.find(';'), value.size()));
    }
    return out;
}

} // namespace

std::optional<std::string> multipartBoundary(std::string_view contentType) {
    const std::size_t semicolon = contentType.find(';');
    if (!equalsIgnoringCase(trimmed(contentType.substr(0, semicolon)), "multipart/form-data") ||
        semicolon == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = contentType.substr(semicolon);
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const std::size_t eq = rest.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string_view parameter = trimmed(rest.substr(0, eq));
        rest = trimmed(rest.substr(eq + 1));
        std::string value = takeValue(rest);
        if (equalsIgnoringCase(parameter, "boundary")) {
            if (value.empty() || value.size() > 70)
                return std::nullopt;
            return value;
        }
        rest = rest.substr(std::min(rest.find(';'), rest.size()));
    }
    return std::nullopt;
}

// The window starts with the line break that a boundary at the very start of the body lacks, so
// that the first boundary is found like every other.
MultipartReader::MultipartReader(std::string boundary, Parts& parts)
    : _delimiter("\r\n--" + std::move(boundary)), _parts(parts), _window("\r\n") {}

MultipartReader::State MultipartReader::feed(std::string_view bytes) {
    if (_state != State::READING)
        return _state;
    _window.append(bytes);
    while (_state == State::READING && advance()) {
    }
    return _state;
}

bool MultipartReader::advance() {
    switch (_step) {
    case Step::PREAMBLE:
    case Step::DATA: {
        const std::size_t found = _window.find(_delimiter);
        // What cannot be the start of a delimiter is handed on (data) or dropped (preamble).
        const std::size_t safe = found != std::string::npos            ? found
                                 : _window.size() >= _delimiter.size() ? _window.size() - _delimiter.size() + 1
                                                                       : 0;
        if (_step == Step::DATA && safe > 0 && !_parts.partData(std::string_view(_window).substr(0, safe))) {
            _state = State::STOPPED;
            return false;
        }
        if (found == std::string::npos) {
            _window.erase(0, safe);
            return false;
        }
        _window.erase(0, found + _delimiter.size());
        _step = Step::AFTER_BOUNDARY;
        return true;
    }
    case Step::AFTER_BOUNDARY: {
        if (_window.size() < 2)
            return false;
        if (_window.starts_with("--")) {
            _state = State::COMPLETE;
            _window.clear();
            return false;
        }
        // The same bound whether the blanks came in one piece or in many.
        const std::size_t end = _window.find_first_not_of(" \t");
        if (std::min(end, _window.size()) > MAX_PADDING) {
            _state = State::MALFORMED;
            return false;
        }
        if (end == std::string::npos || end + 1 >= _window.size())
            return false;
        if (_window.compare(end, 2, "\r\n") != 0) {
            _state = State::MALFORMED;
            return false;
        }
        _window.erase(0, end + 2);
        _step = Step::HEAD;
        return true;
    }
    case Step::HEAD: {
        // A part without header lines has its blank line at once.
        const std::size_t end = _window.starts_with("\r\n") ? 0 : _window.find("\r\n\r\n");
        if (end == std::string::npos) {
            // A blank line not yet found may still begin within the bound, in the last three bytes.
            if (_window.size() > MAX_PART_HEAD_BYTES + 3)
                _state = State::MALFORMED;
            return false;
        }
        if (end > MAX_PART_HEAD_BYTES) {
            _state = State::MALFORMED;
            return false;
        }
        if (!startPart(std::string_view(_window).substr(0, end)))
            return false;
        _window.erase(0, end == 0 ? 2 : end + 4);
        _step = Step::DATA;
        return true;
    }
    }
    return false;
}

bool MultipartReader::startPart(std::string_view head) {
    if (++_count > MAX_PARTS) {
        _state = State::MALFORMED;
        return false;
    }
    std::optional<Disposition> disposition;
    while (!head.empty()) {
        const std::size_t end = head.find("\r\n");
        const std::string_view line = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view{} : head.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            _state = State::MALFORMED;
            return false;
        }
        if (equalsIgnoringCase(trimmed(line.substr(0, colon)), "Content-Disposition"))
            disposition = readDisposition(line.substr(colon + 1));
    }
    if (!disposition || !disposition->formData || !disposition->name) {
        _state = State::MALFORMED;
        return false;
    }
    if (!_parts.beginPart(std::move(*disposition->name), std::move(disposition->filename))) {
        _state = State::STOPPED;
        return false;
    }
    return true;
}

} // namespace tollwick::web
