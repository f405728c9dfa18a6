#include "runtime/port_check.h"

#include <httplib.h>

namespace tollwick {

bool _isPortUsedByUs(int port) {
    try {
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(1, 0);
        client.set_read_timeout(1, 0);
        client.set_write_timeout(1, 0);
        const auto answer = client.Get("/whoami");
        return answer && answer->body == WHO_AM_I;
    } catch (...) {
        return false;
    }
}

} // namespace tollwick
