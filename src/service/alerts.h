#pragma once
// The alert sender: word to the school's IT, at the addresses the settings name, of the events each
// of them chose. Raising an alert only queues it; a thread of the sender's own groups the alerts,
// renders them in the installation's language and hands each to the queue of every target that
// wants it, which a thread of that target's own sends, so that a target that hangs holds up no
// other. The same thread looks at the clock, the saves and the disk every few seconds.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "model/alert_sink.h"
#include "model/metrics.h"
#include "model/settings.h"
#include "runtime/priority_mutex.h"
#include "scheduling/clock_health.h"
#include "service/http_get.h"
#include "storage/store.h"

namespace tollwick {

// The limits and pauses of sending; tests shorten them.
struct AlertTimings {
    std::chrono::milliseconds attempt{5000}; // one attempt: connecting, sending and the answer each
    std::vector<std::chrono::milliseconds> retryPauses{std::chrono::seconds(2), std::chrono::seconds(4),
                                                       std::chrono::seconds(8)};
    std::chrono::milliseconds groupWindow{std::chrono::minutes(1)}; // repeats within it are sent as one
    std::chrono::milliseconds checkPeriod{std::chrono::seconds(10)};
    std::chrono::milliseconds clockGrace{std::chrono::minutes(10)}; // unsynchronised for longer is alerted
};

// What the sender looks at every check period, as the platform (or a test) tells it.
struct AlertChecks {
    std::function<KernelClockState()> clockState;
    std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes;
    const Metrics* metrics = nullptr;
    std::string dataDirectory;
};

// One message as a target of `kind` gets it.
HttpPostContent alertContent(AlertKind kind, const Alert& alert, const std::string& school, const std::string& language,
                             int repeats, std::chrono::system_clock::time_point at);

class Alerts : public AlertSink {
public:
    // At most this many alerts wait in each queue; beyond it the oldest is dropped.
    static constexpr std::size_t QUEUE_LIMIT = 200;
    static constexpr std::uint64_t DISK_LOW_BYTES = 200ull * 1024 * 1024;
    static constexpr std::uint64_t DISK_WELL_BYTES = 250ull * 1024 * 1024;
    static constexpr long long CLOCK_ERROR_LIMIT_MS = 1000;

    // `docs` must outlive the sender.
    Alerts(Documents& docs, AlertChecks checks, AlertTimings timings = {});
    ~Alerts() override;
    Alerts(const Alerts&) = delete;
    Alerts& operator=(const Alerts&) = delete;

    void raise(Alert alert) noexcept override;

    // Starts the sender's thread; alerts raised before wait for it. Once only.
    void start();
    // Ends every thread of the sender; an attempt under way ends within its limit. Alerts still
    // queued are not sent.
    void stop() noexcept;

    // Sends a test alert to `url` as a target of `kind` now, in one attempt, on the caller's thread.
    // Takes the document mutex only to copy the school's name and the language. Throws Error when
    // the target did not answer, or answered with a status other than 2xx.
    void sendTest(AlertKind kind, const std::string& url);

private:
    struct Raised {
        Alert alert;
        std::chrono::system_clock::time_point at;
    };
    // Repeats of one event and subject within the window, gathered for one later message.
    struct Group {
        std::chrono::steady_clock::time_point windowEnd;
        int repeats = 0;
        std::optional<Raised> latest;
    };
    struct Outgoing {
        Raised raised;
        int repeats = 0;
    };
    class Target;

    void run();
    // The checks of the clock, the saves and the disk; adds to `raised` what changed.
    void check(std::chrono::steady_clock::time_point now, std::deque<Raised>& raised);
    // Sends `due` to every target that chose its event.
    void dispatch(const std::vector<Outgoing>& due);
    // The targets, the school's name and the language.
    std::tuple<std::vector<AlertTarget>, std::string, std::string> alertSettings() const;

    Documents& _docs;
    const AlertChecks _checks;
    const AlertTimings _timings;

    PriorityInheritingMutex _mutex; // guards _queue, _dropping and _stopping; taken by the bell's thread
    std::condition_variable_any _wake;
    std::deque<Raised> _queue;
    bool _dropping = false;
    bool _stopping = false;

    // The sender's thread's own.
    std::map<std::string, Group> _groups;
    std::map<std::string, std::unique_ptr<Target>> _targets; // by kind and URL
    std::optional<std::chrono::steady_clock::time_point> _unsynchronisedSince;
    bool _clockAlerted = false;
    bool _diskAlerted = false;
    std::array<bool, Metrics::DOCUMENT_NAMES.size()> _saveAlerted{};

    std::thread _thread;
};

} // namespace tollwick
