#pragma once
// The built-in signals that ship in the asset directory, in the order they are added to a database.
#include <array>
#include <string_view>

namespace tollwick {

struct FactorySong {
    std::string_view id;
    std::string_view name;
    std::string_view filename;
    int lengthSec;
    std::string_view md5; // of the shipped file
};

extern const std::array<FactorySong, 12> FACTORY_SONGS;

} // namespace tollwick
