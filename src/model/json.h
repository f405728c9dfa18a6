#pragma once
// Documents and answers keep JSON in memory with the member order they were written in.
#include <nlohmann/json.hpp>

namespace tollwick {

using Json = nlohmann::ordered_json;

} // namespace tollwick
