#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include "runtime/host_names.h"

namespace tollwick {

std::vector<std::string> hostNamesOfThisMachine() {
    std::vector<std::string> names;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return names;
    names.emplace_back(name);
    // The canonical name comes from /etc/hosts or the resolver, as for any other lookup.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) == 0 && found) {
        if (found->ai_canonname && names.front() != found->ai_canonname)
            names.emplace_back(found->ai_canonname);
        ::freeaddrinfo(found);
    }
    return names;
}

} // namespace tollwick
