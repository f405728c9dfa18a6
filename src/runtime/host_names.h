#pragma once
// The names this machine goes by on the network.
#include <string>
#include <vector>

namespace tollwick {

// The machine's host name as the system reports it and, where the system knows one, its fully
// qualified name; empty when neither can be had.
std::vector<std::string> hostNamesOfThisMachine();

} // namespace tollwick
