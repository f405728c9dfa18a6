#pragma once
// Small readers shared by the text forms of the value types.
#include <string>
#include <string_view>
#include <vector>

namespace tollwick {

std::string_view trimmed(std::string_view s) noexcept;

std::vector<std::string_view> splitAt(std::string_view s, char separator);

// A decimal integer with optional surrounding white space and sign; anything else fails
// with InvalidValueError.
int parseDecimalInt(std::string_view text);

} // namespace tollwick
