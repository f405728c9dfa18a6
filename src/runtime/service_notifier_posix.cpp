#include "runtime/service_notifier.h"

#include "runtime/errors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tollwick {
namespace {

std::string takeFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    std::string text = value ? value : "";
    ::unsetenv(name);
    return text;
}

// A decimal number written out in full, nothing else.
std::optional<unsigned long long> wholeNumber(const std::string& text) {
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Closes the socket on every way out.
struct Socket {
    int fd;
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

ServiceNotifier ServiceNotifier::fromEnvironment() {
    std::string socket = takeFromEnvironment("NOTIFY_SOCKET");
    const auto usec = wholeNumber(takeFromEnvironment("WATCHDOG_USEC"));
    const std::string pidText = takeFromEnvironment("WATCHDOG_PID");
    const auto pid = wholeNumber(pidText);
    const bool ours = pidText.empty() || (pid && *pid == static_cast<unsigned long long>(::getpid()));
    std::chrono::microseconds interval{0};
    if (usec && ours)
        interval = std::chrono::microseconds(
            static_cast<long long>(std::min<unsigned long long>(*usec, std::numeric_limits<long long>::max())));
    return ServiceNotifier(std::move(socket), interval);
}

void sendServiceNotification(const std::string& socket, const std::string& message) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.empty() || socket.size() >= sizeof address.sun_path)
        throw Error("not a socket address: " + socket);
    std::memcpy(address.sun_path, socket.data(), socket.size());
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket.size());
    // "@name" is a name in Linux's abstract namespace: a leading NUL and no terminating one.
    if (socket.front() == '@')
        address.sun_path[0] = '\0';

    const Socket sender{::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    if (sender.fd < 0)
        throw Error(std::strerror(errno));
    if (::sendto(sender.fd, message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                 length) < 0)
        throw Error(std::strerror(errno));
}

} // namespace tollwick
