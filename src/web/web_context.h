#pragma once
// The process-wide objects the route handlers work on, handed to every handler call.
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
#include "storage/store.h"
#include "web/login_throttle.h"

namespace tollwick::web {

// The last text answered for the whole database, with the fingerprint of the content it shows.
// Encoding a large database costs far more than fingerprinting it, and it rarely changes between
// two reads.
struct DbAnswerCache {
    std::mutex mutex; // guards fingerprint and text
    std::optional<Fingerprint> fingerprint;
    std::shared_ptr<const std::string> text;
};

struct WebContext {
    // Handlers read and change db, cache and shadow only with docs.mutex held, and never hold it
    // across a download from the vendor service or the writing of an uploaded file.
    Documents& docs;
    Clock& clock;
    Player& player;
    Alarm& alarm;
    Api& api;
    DbAnswerCache dbAnswer;
    LoginThrottle loginThrottle;
    // What start-up warned about (a database set aside, for one); set before the server runs.
    std::vector<std::string> startupWarnings;
};

} // namespace tollwick::web
