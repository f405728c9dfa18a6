#pragma once
// The running system: every process-wide object, built once by start-up and handed by reference to
// the units that need them.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/player.h"
#include "audio/player_sounds.h"
#include "runtime/daemon_thread.h"
#include "runtime/paths.h"
#include "scheduling/alarm.h"
#include "scheduling/clock.h"
#include "scheduling/quiet_periods.h"
#include "scheduling/scheduler.h"
#include "service/api.h"
#include "storage/change_log.h"
#include "storage/document_writer.h"
#include "storage/play_log.h"
#include "storage/store.h"
#include "web/api/http_app.h"

namespace tollwick {

// What a test puts in the place of the machine's own: the clock, the player programs, the vendor
// service and the front's limits; what the scheduler and the alarm start, instead of the player's
// logged plays; the scheduler's daily call to the vendor service; the disk that the documents, the
// play log, uploads and backups are written to. Left empty, each is the real one.
struct SystemSeams {
    Clock::Source clock;
    FilePlayerFactory players;
    std::optional<std::string> serviceUrl;
    ServiceTimeouts serviceTimeouts;
    web::FrontLimits limits;
    SoundStarter* sounds = nullptr; // outlives the system
    std::function<void()> phoneHome;
    Files* files = nullptr; // outlives the system
    // What the monitoring answers read of the platform: the clock's state and the free disk.
    std::function<KernelClockState()> clockState;
    std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes;
};

class System {
public:
    explicit System(SystemSeams seams = {});
    System(const System&) = delete;
    System& operator=(const System&) = delete;
    // Stops the system first (stop()).
    ~System();

    // Loads the database (or the factory configuration), the password store and the cache from the
    // user-data directory, and today's quiet periods. Answers whether this is a first start (no
    // usable database). A document file that is broken, and a password store that is there but
    // cannot be read, end start-up with an Error naming it; nothing is written then. A database
    // that is there but cannot be read or is refused (an unknown version) is never overwritten: it
    // is renamed aside first, and a warning (startupWarnings) says where it went.
    bool loadDocuments();

    // What start-up warned about, for the interface to show until the next start.
    const std::vector<std::string>& startupWarnings() const noexcept { return _warnings; }

    // Starts the scheduler on a daemon thread of its own, and the writers (startWriters);
    // `afterEachPass` runs on the scheduler's thread after every pass of its loop. The seconds of
    // today from now on in which the play log holds a scheduled play count as handled: a restart
    // within a bell's second does not ring it again.
    void startScheduler(std::function<void()> afterEachPass = {});

    // Starts the threads that write the changed documents and the entries of the play log and the
    // change log. Once only.
    void startWriters();

    // Writes every document whose content changed since it was last written, and the entries of the
    // play log and the change log not yet written.
    void saveChangedDocuments() noexcept;

    // Ends the system's work in order and waits for each part: the front (it must be serving on
    // another thread, or not at all) with its connections and workers, the scheduler's loop, the
    // document writer after its last save, the play log and the change log after their last lines,
    // and every play. Does nothing the second time. The process itself never needs it: it ends at once, killed,
    // whatever its threads are doing; this is for a system that a test makes and destroys.
    void stop();

    // The installation's salt, made on first use: it signs the session cookies.
    std::string sessionKey();

    Documents& documents() noexcept { return _docs; }
    Clock& clock() noexcept { return _clock; }
    Player& player() noexcept { return _player; }
    Alarm& alarm() noexcept { return _alarm; }
    Api& api() noexcept { return _api; }
    HttpApp& http() noexcept { return _http; }
    PlayerSounds& sounds() noexcept { return _sounds; }
    const Metrics& metrics() const noexcept { return _metrics; }
    Scheduler& scheduler() noexcept { return _scheduler; }
    PlayLog& playLog() noexcept { return _playLog; }
    ChangeLog& changeLog() noexcept { return _changeLog; }
    QuietPeriods& quiet() noexcept { return _quiet; }
    const Paths& paths() const noexcept { return _paths; }

private:
    // Resolved once, before anything names a file by them.
    Paths _paths;
    Clock _clock;
    Documents _docs;
    Files& _files; // the disk, unless a test hands in its own
    // Saves every changed document on a thread of its own, started with the scheduler; at the
    // process end saveChangedDocuments writes what it has not written yet.
    // Kept as things happen, for the monitoring answer; before everything that counts in it.
    Metrics _metrics;
    DocumentWriter _writer{_docs, _files, &_metrics};
    // Before the player: every play may write to it until the player's threads are gone.
    PlayLog _playLog{_files};
    ChangeLog _changeLog{_files};
    QuietPeriods _quiet;
    Player _player;
    PlayerSounds _sounds;
    SoundStarter& _starter; // _sounds, unless a test hands in its own
    Alarm _alarm;
    Api _api;
    Scheduler _scheduler;
    HttpApp _http;
    std::vector<std::string> _warnings;
    std::shared_ptr<DaemonThread> _schedulerThread; // once started
    bool _stopped = false;
};

} // namespace tollwick
