#pragma once
// The HTTP application: the routing table, the session-signing key and the server that runs them.
//
// The front (web/http/front_server.h) reads every request once, within the limits it keeps for every
// client. As soon as a head is complete, the application checks the host name it was sent to and
// whether another site started it, finds its route in the routing table and the route's body limit;
// a worker thread then checks the login (before the body, for routes that read one) and answers.
// Handlers see the documents one at a time: each reads and changes them only under the document
// mutex.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/json.h"
#include "runtime/process_stats.h"
#include "scheduling/clock_health.h"
#include "web/http/front_limits.h"

namespace tollwick {

struct Documents;
class Clock;
class Player;
class Alarm;
class Api;
class PlayerSounds;
class PlayLog;
class ChangeLog;
class QuietPeriods;
class Files;
class Metrics;
struct Paths;

Files& systemFiles() noexcept;

// What the interface reads and keeps of the school's day beside the documents, and the disk
// where uploads and restores go.
struct DayServices {
    PlayerSounds& sounds; // the plays the interface starts, each logged
    const Paths& paths;   // the directories resolved at start-up
    PlayLog& playLog;
    QuietPeriods& quiet;
    // Writes the changed documents now; false when one of them could not be written.
    std::function<bool()> saveDocumentsNow;
    Files& files = systemFiles();
    // What the system counts as it runs, for the monitoring answers; none in tests that leave it out.
    const Metrics* metrics = nullptr;
    // The clock's state and the free bytes on a directory's file system, as the platform tells them.
    std::function<KernelClockState()> clockState = kernelClockState;
    std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes = freeBytesOf;
    // Who changed what through the interface; nothing is recorded in tests that leave it out.
    ChangeLog* changeLog = nullptr;
};

class HttpApp {
public:
    // Every reference must outlive the application.
    HttpApp(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day,
            web::FrontLimits limits = {});
    ~HttpApp();
    HttpApp(const HttpApp&) = delete;
    HttpApp& operator=(const HttpApp&) = delete;

    // The key that signs session cookies; a built-in key until start-up sets the installation's salt.
    void setSessionKey(std::string key);

    // The host names answered besides IP addresses and "localhost" (see web/request_guard.h).
    void setAllowedHosts(const std::vector<std::string>& names);

    // The answer of the get target `target`, as a logged-in request of this machine would have it:
    // for a launcher in the same process. Fails as the target does.
    Json answer(const std::string& target);

    // What start-up warned about, shown by the interface until the next start.
    void setStartupWarnings(std::vector<std::string> warnings);

    // While no password is set: a new set-up code, with which another computer may set the first
    // password (this machine needs none), written to the file "setup-code" of the user-data
    // directory, readable by its owner only (a file that cannot be written is logged; the code holds
    // all the same). Answers the code. Once a password is set, removes a file left behind and
    // answers nothing.
    std::optional<std::string> offerSetupCode();

    // Serves on host:port until stop() is called; false when the server cannot listen there.
    bool listen(const std::string& host, int port);

    // The two halves of listen: binds and starts listening on host:port (0: a free port that the
    // system chooses) and answers the port, or -1; then serves until stop() (false when not bound).
    // Connections made in between wait for serve().
    int bind(const std::string& host, int port);
    bool serve();

    bool isRunning() const;
    void stop();
    // Waits until the server stopped by stop() has ended every connection and thread; false when
    // `timeout` passed first.
    bool waitUntilStopped(std::chrono::steady_clock::duration timeout) const;

    // What the front holds now: connections, waiting requests, busy workers, buffered bodies.
    web::FrontLoad load() const;

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

} // namespace tollwick
