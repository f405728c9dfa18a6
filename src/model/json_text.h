#pragma once
// The system's JSON text: one line, pure ASCII (\uXXXX escapes, surrogate pairs beyond the basic
// plane), ", " between items and ": " after member names, floats in shortest round-trip form with
// integral values keeping ".0". Stored documents and JSON answers are written with it.
#include <string>
#include <string_view>

#include "model/json.h"

namespace tollwick {

std::string toJsonText(const Json& value);

// Appends the text form of one float; fails with InvalidValueError for NaN and infinities,
// which JSON cannot carry.
void appendFloatText(std::string& out, double value);

// Arrays and objects nest at most this deep in the JSON text the system reads: a browser's body,
// a cookie, the vendor service's answers. Deeper nesting costs memory out of all proportion to the
// text's length and serves nothing.
inline constexpr int MAX_JSON_DEPTH = 64;

// Parses JSON text; malformed text, and text nested deeper than MAX_JSON_DEPTH, fails with
// InvalidValueError naming what is wrong.
Json parseJsonText(std::string_view text);

} // namespace tollwick
