#include "model/decode_error.h"

namespace tollwick {

namespace {
std::string messageFor(const std::string& path, const std::string& reason) {
    if (path.empty())
        return reason;
    return "Invalid value for \"" + path + "\": " + reason;
}
} // namespace

DecodeError::DecodeError(std::string path, std::string reason)
    : InvalidValueError(messageFor(path, reason)), _path(std::move(path)), _reason(std::move(reason)) {}

DecodeError DecodeError::within(std::string_view outer) const {
    std::string path(outer);
    if (!_path.empty() && _path.front() != '[')
        path += '.';
    path += _path;
    return DecodeError(std::move(path), _reason);
}

std::string jsonKindName(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
        return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
        return "an integer";
    case Json::value_t::number_float:
        return "a number";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::object:
        return "an object";
    default:
        return "an unsupported value";
    }
}

void throwWrongKind(std::string_view expected, const Json& found) {
    throw DecodeError("", "expected " + std::string(expected) + ", got " + jsonKindName(found));
}

} // namespace tollwick
