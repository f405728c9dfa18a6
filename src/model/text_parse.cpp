#include "model/text_parse.h"

#include <charconv>

#include "runtime/errors.h"

namespace tollwick {

std::string_view trimmed(std::string_view s) noexcept {
    constexpr std::string_view space = " \t\n\r\f\v";
    const auto first = s.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(space);
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> splitAt(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto pos = s.find(separator, start);
        parts.push_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos)
            return parts;
        start = pos + 1;
    }
}

int parseDecimalInt(std::string_view text) {
    std::string_view t = trimmed(text);
    const std::string_view original = t;
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || t.front() < '0' || t.front() > '9' || ec != std::errc{} || end != t.data() + t.size())
        throw InvalidValueError("invalid literal for int() with base 10: '" + std::string(original) + "'");
    return negative ? -value : value;
}

} // namespace tollwick
