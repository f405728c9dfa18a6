// Windows starts services through its own service control manager, which has no notify socket:
// a Windows process is never asked to notify.
#include "runtime/service_notifier.h"

#include "runtime/errors.h"

namespace tollwick {

ServiceNotifier ServiceNotifier::fromEnvironment() {
    return ServiceNotifier();
}

void sendServiceNotification(const std::string&, const std::string&) {
    throw Error("no service manager notifications on this platform");
}

} // namespace tollwick
