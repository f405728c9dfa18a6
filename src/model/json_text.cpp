#include "model/json_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "runtime/errors.h"

namespace tollwick {

namespace {

bool needsEscaping(const std::string& s) noexcept {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u >= 0x7f || c == '"' || c == '\\';
    });
}

void appendString(std::string& out, const std::string& s) {
    if (!needsEscaping(s)) {
        out += '"';
        out += s;
        out += '"';
        return;
    }
    // nlohmann escapes exactly as we need with ensure_ascii; bytes that are not UTF-8 are replaced
    // rather than failing the whole write.
    out += Json(s).dump(-1, ' ', true, Json::error_handler_t::replace);
}

void append(std::string& out, const Json& v) {
    switch (v.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
        out += "null";
        break;
    case Json::value_t::boolean:
        out += v.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        out += std::to_string(v.get<std::int64_t>());
        break;
    case Json::value_t::number_unsigned:
        out += std::to_string(v.get<std::uint64_t>());
        break;
    case Json::value_t::number_float:
        appendFloatText(out, v.get<double>());
        break;
    case Json::value_t::string:
        appendString(out, v.get_ref<const std::string&>());
        break;
    case Json::value_t::binary:
        throw InvalidValueError("Binary values cannot be written as JSON text");
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const auto& item : v) {
            if (!first)
                out += ", ";
            first = false;
            append(out, item);
        }
        out += ']';
        break;
    }
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : v.items()) {
            if (!first)
                out += ", ";
            first = false;
            appendString(out, key);
            out += ": ";
            append(out, item);
        }
        out += '}';
        break;
    }
    }
}

} // namespace

void appendFloatText(std::string& out, double value) {
    if (!std::isfinite(value))
        throw InvalidValueError("Out of range float values are not JSON compliant");

    // Shortest round-trip digits in scientific form: [-]d[.ddd]e[+-]xx
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(end - buf));
    const bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const auto ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());

    if (negative)
        out += '-';
    if (exponent >= -4 && exponent < 16) {
        if (exponent >= 0) {
            const auto intLen = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intLen) {
                out += digits;
                out.append(intLen - digits.size(), '0');
                out += ".0";
            } else {
                out.append(digits, 0, intLen);
                out += '.';
                out.append(digits, intLen);
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += exponent < 0 ? "e-" : "e+";
        const int absExp = std::abs(exponent);
        if (absExp < 10)
            out += '0';
        out += std::to_string(absExp);
    }
}

std::string toJsonText(const Json& value) {
    std::string out;
    append(out, value);
    return out;
}

Json parseJsonText(std::string_view text) {
    // The callback sees each array and object before its content is read, at its depth (0 for the
    // outermost), and stops the parse before the deep one is built.
    const auto limitDepth = [](int depth, Json::parse_event_t event, Json&) {
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
            depth >= MAX_JSON_DEPTH)
            throw InvalidValueError("Invalid JSON: arrays and objects nest deeper than " +
                                    std::to_string(MAX_JSON_DEPTH) + " levels");
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), limitDepth);
    } catch (const Json::parse_error& e) {
        throw InvalidValueError(std::string("Invalid JSON: ") + e.what());
    }
}

} // namespace tollwick
