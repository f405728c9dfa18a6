#pragma once
// Telling whether the server's port is free, taken by another instance of this system, or taken by
// another program.
namespace tollwick {

// The identification text of the running server, answered on /whoami.
inline constexpr const char* WHO_AM_I = "Tollwick Player Backend";

// True when a TCP connection to localhost on `port` is accepted.
bool _isPortUsed(int port);

// True when http://localhost:<port>/whoami answers WHO_AM_I within a second.
bool _isPortUsedByUs(int port);

} // namespace tollwick
