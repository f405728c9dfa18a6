#pragma once
// The running system: every process-wide object, built once by start-up and handed by reference to
// the units that need them.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/player.h"
#include "audio/player_sounds.h"
#include "runtime/paths.h"
#include "scheduling/alarm.h"
#include "scheduling/clock.h"
#include "scheduling/quiet_periods.h"
#include "scheduling/scheduler.h"
#include "service/api.h"
#include "storage/document_writer.h"
#include "storage/play_log.h"
#include "storage/store.h"
#include "web/api/http_app.h"

namespace tollwick {

class System {
public:
    System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // Loads the database (or the factory configuration), the password store and the cache from the
    // user-data directory, and today's quiet periods. Answers whether this is a first start (no
    // usable database). A document file that is broken, and a password store that is there but
    // cannot be read, end start-up with an Error naming it; nothing is written then. A database
    // that is there but cannot be read or is refused (an unknown version) is never overwritten: it
    // is renamed aside first, and a warning (startupWarnings) says where it went.
    bool loadDocuments();

    // What start-up warned about, for the interface to show until the next start.
    const std::vector<std::string>& startupWarnings() const noexcept { return _warnings; }

    // Starts the scheduler on a daemon thread of its own, and the threads that write the documents
    // and the play log; `afterEachPass` runs on the scheduler's thread after every pass of its loop.
    void startScheduler(std::function<void()> afterEachPass = {});

    // Writes every document whose content changed since it was last written, and the play log's
    // entries not yet written.
    void saveChangedDocuments() noexcept;

    // The installation's salt, made on first use: it signs the session cookies.
    std::string sessionKey();

    Documents& documents() noexcept { return _docs; }
    Clock& clock() noexcept { return _clock; }
    Player& player() noexcept { return _player; }
    Alarm& alarm() noexcept { return _alarm; }
    Api& api() noexcept { return _api; }
    HttpApp& http() noexcept { return _http; }

private:
    // Resolved once, before anything names a file by them.
    Paths _paths;
    Clock _clock;
    Documents _docs;
    // Saves every changed document on a thread of its own, started with the scheduler; at the
    // process end saveChangedDocuments writes what it has not written yet.
    DocumentWriter _writer{_docs, systemFiles()};
    // Before the player: every play may write to it until the player's threads are gone.
    PlayLog _playLog{systemFiles()};
    QuietPeriods _quiet;
    Player _player;
    PlayerSounds _sounds;
    Alarm _alarm;
    Api _api;
    Scheduler _scheduler;
    HttpApp _http;
    std::vector<std::string> _warnings;
};

} // namespace tollwick
