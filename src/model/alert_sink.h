#pragma once
// What any part of the system raises for the school's IT, without knowing how or where it is sent:
// the alert sender (service/alerts.h) queues it and sends it on a thread of its own.
#include <string>
#include <vector>

namespace tollwick {

struct Alert {
    std::string event;               // a name of ALERT_EVENTS, or "test"
    std::string message;             // the key of its text in the alert texts (service/alert_texts.h)
    std::vector<std::string> values; // what the text names, in the order of its {0}, {1}, ...
    // Repeats of the same event with the same subject within a minute are sent as one message.
    std::string subject;
};

class AlertSink {
public:
    virtual ~AlertSink() = default;
    // Queues `alert` and answers at once: never waits for a network or a disk, safe on any thread,
    // the bell's thread too.
    virtual void raise(Alert alert) noexcept = 0;
};

} // namespace tollwick
