#include "app/system.h"

#include <chrono>
#include <filesystem>

#include <spdlog/spdlog.h>

#include "app/leftover_files.h"
#include "runtime/daemon_thread.h"
#include "runtime/errors.h"
#include "runtime/paths.h"
#include "runtime/thread_priority.h"
#include "scheduling/logged_seconds.h"
#include "service/region_sync.h"

namespace tollwick {

namespace {

std::string twoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// Renames `path` to "<path>.refused-<yyyymmdd>T<hhmmss>" (with "-2", "-3", ... when that is taken)
// and answers the new name; an Error when it cannot be renamed.
std::string setAside(const std::string& path, const ClockReading& now) {
    const std::string stamp = std::to_string(now.year) + twoDigits(now.month) + twoDigits(now.day) + "T" +
                              twoDigits(now.hour) + twoDigits(now.minute) + twoDigits(now.second);
    std::string aside = path + ".refused-" + stamp;
    for (int n = 2; std::filesystem::exists(aside); ++n)
        aside = path + ".refused-" + stamp + "-" + std::to_string(n);
    std::error_code error;
    std::filesystem::rename(path, aside, error);
    if (error)
        throw Error("Cannot set aside " + path + " as " + aside + ": " + error.message() +
                    "; it is left as it is and the player does not start");
    return aside;
}

class SchedulerThread : public DaemonThread {
public:
    explicit SchedulerThread(Scheduler& scheduler) : DaemonThread("Scheduler"), _scheduler(scheduler) {}

private:
    void run() override {
        if (raiseToTimeCriticalPriority())
            spdlog::info("The scheduler runs at real-time priority");
        else
            spdlog::info("The scheduler runs at normal priority: this system grants the player no real-time priority");
        _scheduler.run();
    }
    Scheduler& _scheduler; // outlives the thread: System::stop waits for its end
};

} // namespace

System::System(SystemSeams seams)
    : _paths(Paths::resolve()), _clock(seams.clock ? Clock(std::move(seams.clock)) : Clock()),
      _files(seams.files ? *seams.files : systemFiles()),
      _player(_clock, seams.players ? std::move(seams.players) : defaultFilePlayerFactory()),
      _sounds(_player, _playLog, _clock, &_metrics), _starter(seams.sounds ? *seams.sounds : _sounds), _alarm(_starter),
      _api(seams.serviceUrl.value_or(defaultServiceBaseUrl()), seams.serviceTimeouts),
      _scheduler(_docs, _clock, _starter, _quiet,
                 seams.phoneHome ? std::move(seams.phoneHome)
                                 : std::function<void()>([this] { phoneHome(_api, _docs, _clock); }),
                 _paths),
      _http(_docs, _clock, _player, _alarm, _api,
            DayServices{_sounds, _paths, _playLog, _quiet, [this] { return _writer.saveNow(); }, _files, &_metrics,
                        seams.clockState ? seams.clockState : kernelClockState,
                        seams.freeBytes ? seams.freeBytes : freeBytesOf, &_changeLog},
            seams.limits) {}

bool System::loadDocuments() {
    // Before anything is written there: what interrupted work left behind refers to nothing.
    removeLeftoverUserFiles(getUserDataPath(), _files);
    std::scoped_lock lock(_docs.mutex);
    const std::string dbPath = getUserFilePath("_db.json");
    const DocumentLoad db = _docs.db.loadFile(dbPath, _files);
    // Before anything is written: a password store that cannot be read must not be replaced by an
    // empty one, which would open the interface to everybody.
    const std::string shadowPath = getUserFilePath("_shadow.json");
    if (const DocumentLoad shadow = _docs.shadow.loadFile(shadowPath, _files);
        shadow.outcome == DocumentLoad::Outcome::UNREADABLE)
        throw Error("Cannot load " + shadowPath + ": the file cannot be read (" + shadow.reason + ")");
    bool firstStart = false;
    if (db.outcome != DocumentLoad::Outcome::LOADED) {
        if (db.outcome != DocumentLoad::Outcome::MISSING) {
            const std::string aside = setAside(dbPath, _clock.updateClock());
            const std::string why = db.outcome == DocumentLoad::Outcome::UNREADABLE
                                        ? "could not be read (" + db.reason + ")"
                                        : "has a version this program does not know";
            _warnings.push_back("The database " + dbPath + " " + why + "; it was kept as " + aside +
                                " and the factory configuration is in use.");
            spdlog::warn("{}", _warnings.back());
        }
        spdlog::info("Falling back to factory default config");
        _docs.db.edit().loadFactoryDefault();
        firstStart = true;
    }
    _docs.db.edit().ensureFactorySongsAvailable();
    _docs.cache.load(getUserFilePath("cache.json"), _files);
    // Today's day reset happens here rather than in the scheduler's first pass, so that what was
    // loaded (or the factory configuration) counts as written before any request can change it:
    // a change in the first moments is then saved like any other, also on SIGTERM.
    _docs.db.edit().settings.dailyPreferences.resetOnNewDay(_clock.updateClock().yearDay);
    _docs.db.rememberContent();
    _docs.shadow.rememberContent();
    _docs.cache.rememberContent();
    _quiet.load(getUserFilePath("quiet.json"));
    try {
        _quiet.dropExpired(_clock.updateClock());
    } catch (const std::exception& e) {
        spdlog::warn("{}", e.what()); // they count for nothing all the same, and go with the next change
    }
    _playLog.open(std::filesystem::path(getUserFilePath()) / "playlog");
    _changeLog.open(std::filesystem::path(getUserFilePath()) / "changelog");
    return firstStart;
}

void System::startScheduler(std::function<void()> afterEachPass) {
    _scheduler.setAfterPass([this, afterEachPass = std::move(afterEachPass)] {
        _metrics.schedulerPassed(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
        if (afterEachPass)
            afterEachPass();
    });
    // Read here rather than by the loop, which never waits for a file.
    _scheduler.markHandled(loggedScheduledSeconds(_playLog, _clock.updateClock()));
    startWriters();
    _schedulerThread = std::make_shared<SchedulerThread>(_scheduler);
    _schedulerThread->start();
}

void System::startWriters() {
    _playLog.start();
    _changeLog.start();
    _writer.start();
}

System::~System() {
    stop();
}

void System::stop() {
    if (_stopped)
        return;
    _stopped = true;
    // Generous limits: each part ends within a tenth of a second unless the machine is stalled.
    constexpr auto LIMIT = std::chrono::seconds(30);
    _http.stop();
    if (!_http.waitUntilStopped(LIMIT))
        spdlog::warn("The web server did not stop within {} s", LIMIT.count());
    _scheduler.stop();
    if (_schedulerThread && !_schedulerThread->waitUntilEnded(LIMIT))
        spdlog::warn("The scheduler did not stop within {} s", LIMIT.count());
    _writer.stop();
    _playLog.stop();
    _changeLog.stop();
    _alarm.switchOff();
    _player.stopAll();
    if (!_player.waitUntilAllEnded(LIMIT))
        spdlog::warn("Plays did not end within {} s", LIMIT.count());
    _playLog.flush(); // how the stopped plays ended
}

void System::saveChangedDocuments() noexcept {
    _writer.flush();
    _playLog.flush();
    _changeLog.flush();
}

std::string System::sessionKey() {
    std::scoped_lock lock(_docs.mutex);
    return _docs.shadow.edit().getCurrentSalt();
}

} // namespace tollwick
