#include "web/http/request_target.h"

namespace tollwick::web {

namespace {

int hexValue(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void readQuery(std::string_view query, Args& args) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const std::size_t eq = pair.find('=');
        args.emplace(percentDecode(pair.substr(0, eq), true),
                     eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1), true));
    }
}

} // namespace

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += plusIsSpace && c == '+' ? ' ' : c;
        }
    }
    return out;
}

RequestTarget readTarget(std::string_view target) {
    RequestTarget out;
    target = target.substr(0, target.find('#'));
    const std::size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    if (question != std::string_view::npos)
        readQuery(target.substr(question + 1), out.args);
    if (path.starts_with('/'))
        path.remove_prefix(1);
    out.path.push_back('/');
    if (path.empty())
        return out;
    for (;;) {
        const std::size_t slash = path.find('/');
        out.segments.push_back(percentDecode(path.substr(0, slash)));
        out.path += out.segments.back();
        if (slash == std::string_view::npos)
            break;
        out.path += '/';
        path.remove_prefix(slash + 1);
    }
    return out;
}

} // namespace tollwick::web
