#include "app/system.h"

#include <spdlog/spdlog.h>

#include "app/leftover_files.h"
#include "runtime/daemon_thread.h"
#include "runtime/paths.h"
#include "service/region_sync.h"

namespace tollwick {

namespace {

class SchedulerThread : public DaemonThread {
public:
    explicit SchedulerThread(Scheduler& scheduler) : DaemonThread("Scheduler"), _scheduler(scheduler) {}

private:
    void run() override { _scheduler.run(); }
    Scheduler& _scheduler; // lives as long as the process: the System is never destroyed while serving
};

} // namespace

System::System()
    : _player(_clock), _sounds(_player), _alarm(_sounds),
      _scheduler(_docs, _clock, _sounds, [this] { phoneHome(_api, _docs, _clock); }),
      _http(_docs, _clock, _player, _alarm, _api) {}

bool System::loadDocuments() {
    // Before anything is written there: what interrupted work left behind refers to nothing.
    removeLeftoverUserFiles(getUserDataPath());
    std::scoped_lock lock(_docs.mutex);
    bool firstStart = false;
    if (!_docs.db.load(getUserFilePath("_db.json"))) {
        spdlog::info("Falling back to factory default config");
        _docs.db->loadFactoryDefault();
        firstStart = true;
    }
    _docs.db->ensureFactorySongsAvailable();
    _docs.shadow.load(getUserFilePath("_shadow.json"));
    _docs.cache.load(getUserFilePath("cache.json"));
    // Today's day reset happens here rather than in the scheduler's first pass, so that what was
    // loaded (or the factory configuration) counts as written before any request can change it:
    // a change in the first moments is then saved like any other, also on SIGTERM.
    _docs.db->settings.dailyPreferences.resetOnNewDay(_clock.updateClock().yearDay);
    _docs.db.rememberContent();
    _docs.shadow.rememberContent();
    _docs.cache.rememberContent();
    return firstStart;
}

void System::startScheduler(std::function<void()> afterEachPass) {
    _scheduler.setAfterPass(std::move(afterEachPass));
    std::make_shared<SchedulerThread>(_scheduler)->start();
    _writer.start();
}

void System::saveChangedDocuments() noexcept {
    _writer.flush();
}

std::string System::sessionKey() {
    std::scoped_lock lock(_docs.mutex);
    return _docs.shadow->getCurrentSalt();
}

} // namespace tollwick
