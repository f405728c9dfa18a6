#pragma once
// An in-process server for the web tests: the real HTTP application over real documents, a
// player whose file players only record, a stand-in vendor service for announcements, and an
// interface directory of the test's own. Browsers are HTTP clients that keep their session
// cookie, each its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "app/system.h"
#include "audio/player.h"
#include "audio/player_sounds.h"
#include "runtime/paths.h"
#include "scheduling/alarm.h"
#include "scheduling/clock.h"
#include "scheduling/quiet_periods.h"
#include "service/api.h"
#include "storage/play_log.h"
#include "storage/store.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/recording_file_player.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"
#include "web/api/http_app.h"

namespace tollwick::test {

// One browser: a client with its own session cookie, carried from Set-Cookie to Cookie.
class Browser {
public:
    explicit Browser(int port);

    httplib::Result get(const std::string& path);
    httplib::Result post(const std::string& path, const std::string& body,
                         const std::string& contentType = "application/json");
    httplib::Result upload(const httplib::MultipartFormDataItems& items, const std::string& path = "/upload");

    // The session cookie's value, empty before the server set one.
    std::string cookie;
    // The last Set-Cookie header the server sent.
    std::string lastSetCookie;

private:
    httplib::Headers headers() const;
    httplib::Result remember(httplib::Result result);
    httplib::Client _client;
};

// The vendor service's announcement download: answers known ids with their audio bytes, after
// an optional delay, and any other id with 404.
class AnnouncementService {
public:
    AnnouncementService();
    ~AnnouncementService();
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(_port); }
    void offer(const std::string& id, std::string bytes);
    void setDelay(std::chrono::milliseconds delay) { _delayMs = static_cast<int>(delay.count()); }
    int requests() const { return _requests; }
    void shutDown();

private:
    httplib::Server _server;
    std::thread _thread;
    int _port = -1;
    std::atomic<int> _delayMs{0};
    std::atomic<int> _requests{0};
    std::mutex _mutex; // guards _offers
    std::map<std::string, std::string> _offers;
};

// The JSON of an answer's body (null when there is no answer or it is not JSON).
Json jsonOf(const httplib::Result& answer);
// The member names of an object, in order.
std::vector<std::string> keysOf(const Json& object);
// "<status> <body>" of an answer; for a redirect "302 <location>"; "no answer" when none came.
std::string outcome(const httplib::Result& answer);

// A connection that sends bytes exactly as given, from the loopback address `from`; closed when it
// goes.
class RawConnection {
public:
    RawConnection(int port, const std::string& text, const std::string& from = "127.0.0.1");
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    // Sends more; false when the server no longer takes it.
    bool send(const std::string& text);
    // One answer: its head and as much body as its Content-Length announces (or what came until
    // the connection closed, or 5 s passed).
    std::string readAnswer();
    // What comes up to and including `marker` (less when the connection closed, or 5 s passed).
    std::string readThrough(std::string_view marker);
    // Whether the server has closed (or shut down its sending side of) the connection, reading and
    // dropping what it sends until then; waits up to `timeout`.
    bool closedByServer(std::chrono::milliseconds timeout);

private:
    long receive(char* buffer, std::size_t size, int flags);

    int _fd;
};

// A raw exchange on a fresh connection: sends `text` as it is and answers what came back.
std::string rawExchange(int port, const std::string& text);

class WebTest : public ::testing::Test {
protected:
    WebTest();
    ~WebTest() override;

    std::filesystem::path dataDir() const { return _data.path(); }
    std::filesystem::path htmlDir() const { return _root.path() / "web-ui" / "dist"; }
    std::filesystem::path assetDir() const { return _root.path() / "assets"; }
    // A file beside the asset root, outside the interface directory.
    std::filesystem::path secretFile() const { return _root.path() / "secret.txt"; }

    Browser browser() { return Browser(port); }
    DB& db() { return docs.db.edit(); }

    // Sets a password as the first browser of the installation does; that browser is then logged in.
    void setPassword(Browser& b, const std::string& password);
    // Writes the changed documents now, as the writer thread would; the tests start no writer thread.
    bool saveDocumentsNow();

    LogCapture log; // first: it must outlive every thread that logs
    TempDir _root;
    TempDir _data;
    ScopedEnv _dataEnv;
    ScopedRunLayout _layout;
    FakeTime time{2024, 9, 2, 10, 0, 0}; // a Monday
    std::shared_ptr<PlayRecorder> recorder = PlayRecorder::create();
    AnnouncementService service;
    // What the monitoring answers learn of the disk and the clock.
    std::atomic<std::uint64_t> freeDiskBytes{std::uint64_t(1) << 40};
    std::atomic<bool> clockSynchronised{true};
    // The real system over the directories above, with the fake time, recording players and the
    // stand-in service; its scheduler and writer threads are not started.
    System system;
    const Paths& paths = system.paths();
    Clock& clock = system.clock();
    Documents& docs = system.documents();
    PlayLog& playLog = system.playLog();
    QuietPeriods& quiet = system.quiet();
    Player& player = system.player();
    PlayerSounds& sounds = system.sounds();
    Alarm& alarm = system.alarm();
    Api& api = system.api();
    HttpApp& app = system.http();
    int port = -1;

private:
    SystemSeams seams();
    std::thread _serving;
};

} // namespace tollwick::test
