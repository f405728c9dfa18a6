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

// Parses JSON text; malformed text fails with InvalidValueError naming what is wrong.
Json parseJsonText(std::string_view text);

} // namespace tollwick
