#pragma once
// Windows only: Winsock counts its users, and this process stays one from its first socket on.

namespace tollwick {

// Starts Winsock once for the whole process; false when it cannot be started.
bool winsockReady();

} // namespace tollwick
