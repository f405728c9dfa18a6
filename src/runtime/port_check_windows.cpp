#include "runtime/port_check.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "runtime/winsock.h"

namespace tollwick {

bool _isPortUsed(int port) {
    if (!winsockReady())
        return false;
    const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    const bool accepted = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::closesocket(s);
    return accepted;
}

} // namespace tollwick
