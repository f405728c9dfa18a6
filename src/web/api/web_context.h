#pragma once
// The process-wide objects the route handlers work on, handed to every handler call.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/player.h"
#include "model/fingerprint.h"
#include "scheduling/alarm.h"
#include "scheduling/clock.h"
#include "service/api.h"
#include "storage/setup_code.h"
#include "storage/store.h"
#include "web/api/http_app.h"
#include "web/api/login_throttle.h"

namespace tollwick::web {

// The last text answered for the whole database, with the fingerprint of the content it shows and
// the database's touches (StorageWrapper::touches) when that was taken. Encoding a large database
// costs far more than fingerprinting it, fingerprinting far more than comparing touches, and it
// rarely changes between two reads.
struct DbAnswerCache {
    std::mutex mutex; // guards the members below
    std::optional<Fingerprint> fingerprint;
    std::uint64_t touches = 0;
    std::shared_ptr<const std::string> text;
};

// The last "overview" answer and what it was made of. Every open interface polls it, and it
// changes only with the clock's second, the database, the cache, the password and the alarm.
struct OverviewAnswerCache {
    struct Key {
        std::uint64_t dbTouches = 0;
        std::uint64_t cacheTouches = 0;
        ClockReading now;
        bool passwordMissing = false;
        bool alarmActive = false;
        bool operator==(const Key&) const = default;
    };
    std::mutex mutex; // guards key and text
    std::optional<Key> key;
    std::shared_ptr<const std::string> text;
};

struct WebContext {
    // Handlers read and change db, cache and shadow only with docs.mutex held, and never hold it
    // across a download from the vendor service or the writing or deleting of a file. Handlers
    // that only read go through a const Documents&, so that their reads do not count as touches.
    Documents& docs;
    Clock& clock;
    Player& player;
    Alarm& alarm;
    Api& api;
    DayServices day;
    OverviewAnswerCache overviewAnswer;
    DbAnswerCache dbAnswer;
    LoginThrottle loginThrottle;
    // What start-up warned about (a database set aside, for one); set before the server runs.
    std::vector<std::string> startupWarnings;
    // When this process began to serve and to ring: a bell due before it was missed because
    // nothing was running.
    ClockReading startedAt{};
    // Lets another computer set the first password; none once a password is set.
    SetupCode setupCode;
    // Held through the commit of a restore: two commits interleaved could each put back what the
    // other placed.
    std::mutex restoring{};
};

} // namespace tollwick::web
