#pragma once
// The HTTP application: the routing table, the session-signing key and the server that runs them.
//
// Connections are served by a small pool of worker threads, so one slow client, an idle
// keep-alive connection or an announcement download does not stall the interface. Handlers still
// see the documents one at a time: each reads and changes them only under the document mutex.
#include <functional>
#include <memory>
#include <string>

namespace tollwick {

struct Documents;
class Clock;
class Player;
class Alarm;
class Api;
class PlayerSounds;
class PlayLog;
class QuietPeriods;

// What the interface reads and keeps of the school's day beside the documents.
struct DayServices {
    PlayerSounds& sounds; // the plays the interface starts, each logged
    PlayLog& playLog;
    QuietPeriods& quiet;
    // Writes the changed documents now; false when one of them could not be written.
    std::function<bool()> saveDocumentsNow;
};

class HttpApp {
public:
    // Every reference must outlive the application.
    HttpApp(Documents& docs, Clock& clock, Player& player, Alarm& alarm, Api& api, DayServices day);
    ~HttpApp();
    HttpApp(const HttpApp&) = delete;
    HttpApp& operator=(const HttpApp&) = delete;

    // The key that signs session cookies; a built-in key until start-up sets the installation's salt.
    void setSessionKey(std::string key);

    // Serves on host:port until stop() is called; false when the server cannot listen there.
    bool listen(const std::string& host, int port);

    // The two halves of listen: binds and starts listening on host:port (0: a free port that the
    // system chooses) and answers the port, or -1; then serves until stop() (false when not bound).
    // Connections made in between wait for serve().
    int bind(const std::string& host, int port);
    bool serve();

    bool isRunning() const;
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

} // namespace tollwick
