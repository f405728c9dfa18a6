#pragma once
#include <string>

namespace tollwick {

// A random version-4 UUID in its 36-character lowercase text form (8-4-4-4-12).
std::string newUuid4();

} // namespace tollwick
