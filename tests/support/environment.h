#pragma once
// Changing this process's environment, as children started afterwards inherit it.
#include <optional>
#include <string>

namespace tollwick::test {

// Sets `name` to `value`, or removes it when given none.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

} // namespace tollwick::test
