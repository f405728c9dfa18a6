#include "web/api/web_input.h"

#include <charconv>
#include <limits>

#include "model/audio_file_name.h"
#include "model/json_text.h"
#include "runtime/errors.h"

namespace tollwick::web {

Json readJsonBody(const Request& request) {
    try {
        return parseJsonText(request.body);
    } catch (const std::exception& e) {
        throw HttpError(400, std::string("The request body is not valid JSON: ") + e.what());
    }
}

std::string requireArg(const Args& args, const std::string& name) {
    const auto it = args.find(name);
    if (it == args.end())
        throw KeyError("Missing query parameter: " + name);
    return it->second;
}

std::optional<std::string> optionalArg(const Args& args, const std::string& name) {
    const auto it = args.find(name);
    if (it == args.end())
        return std::nullopt;
    return it->second;
}

long long parseWholeNumber(std::string_view text, std::string_view what) {
    std::string_view digits = text;
    if (digits.starts_with('+'))
        digits.remove_prefix(1);
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        (text.starts_with('+') && digits.starts_with('-')))
        throw InvalidValueError(std::string(what) + " is not a whole number: '" + std::string(text) + "'");
    return value;
}

int parseInt(std::string_view text, std::string_view what) {
    const long long value = parseWholeNumber(text, what);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw InvalidValueError(std::string(what) + " is out of range: " + std::string(text));
    return static_cast<int>(value);
}

bool isValidUtf8(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned codePoint = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            codePoint = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            codePoint = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = codePoint << 6 | (next & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and values beyond Unicode are not UTF-8.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

const std::string& requireUtf8(const std::string& text, std::string_view what) {
    if (!isValidUtf8(text))
        throw InvalidValueError(std::string(what) + " is not valid UTF-8 text");
    return text;
}

void requireFileId(std::string_view id) {
    const bool valid = !id.empty() &&
                       id.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789-_") == std::string_view::npos &&
                       isAudioFileName(std::string(id) + ".mp3");
    if (!valid)
        throw InvalidValueError("Invalid id '" + std::string(id) +
                                "': only letters, digits, \"-\" and \"_\" are allowed");
}

Programme programmeFromInput(const std::string& songId, const std::optional<std::string>& date,
                             const std::optional<std::string>& time) {
    auto check = [](const std::optional<std::string>& text, const char* what, auto decode) {
        if (!text)
            throw InvalidValueError(std::string("Missing programme ") + what);
        try {
            decode(*text);
        } catch (const Error& e) {
            const std::string detail = e.what();
            throw InvalidValueError(std::string("Invalid programme ") + what + " '" + *text + "'" +
                                    (detail.empty() ? "" : ": " + detail));
        }
    };
    check(date, "date", [](const std::string& t) { Date::decode(t); });
    check(time, "time", [](const std::string& t) { TimeOfDay::decode(t); });
    return Programme::fromUserInput(songId, *date, *time);
}

} // namespace tollwick::web
