#pragma once
// Zip archives of empty stored entries written byte by byte, with end records that claim what the
// test asks for, true or not.
#include <cstdint>
#include <optional>
#include <string>

namespace tollwick::test {

struct HandMadeZip {
    std::size_t entries = 0;                 // named by their number
    std::size_t nameLength = 8;              // digits in each name
    std::uint64_t plainCount = 0;            // claimed by the plain end record; 0xFFFF: see the zip64 one
    std::optional<std::uint64_t> zip64Count; // claimed by a zip64 end record, when there is one
    std::string comment;                     // after the plain end record
};

std::string handMadeZip(const HandMadeZip& zip);

} // namespace tollwick::test
