#include "runtime/winsock.h"

#include <winsock2.h>

namespace tollwick {

bool winsockReady() {
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

} // namespace tollwick
