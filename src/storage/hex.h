#pragma once
// Bytes as lowercase hexadecimal, the form of every digest and random key the system writes.
#include <cstddef>
#include <string>

namespace tollwick {

std::string toHex(const unsigned char* bytes, std::size_t count);

} // namespace tollwick
