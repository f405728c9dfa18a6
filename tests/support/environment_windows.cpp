#include "support/environment.h"

#include <stdlib.h>

namespace tollwick::test {

// _putenv_s changes both the C library's copy, which getenv reads, and the environment of the
// process, which CreateProcess hands on. An empty value removes the variable.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

} // namespace tollwick::test
