#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <thread>

#include <spdlog/spdlog.h>

#include "app/command_line.h"
#include "app/launcher.h"
#include "app/system.h"
#include "runtime/browser.h"
#include "runtime/host_names.h"
#include "runtime/logging.h"
#include "runtime/paths.h"
#include "runtime/port_check.h"
#include "runtime/process_end.h"
#include "runtime/service_notifier.h"
#include "runtime/version.h"
#include "web/http/request_guard.h"

namespace tollwick {

namespace {

// Set once by start, before any other thread exists; read by the launcher operations.
int gPort = DEFAULT_PORT;
bool gIsTray = false;
// The system once it serves; read by a launcher's own thread.
std::atomic<System*> gServing{nullptr};

// The log file of a tray start, in the user-data directory. TOLLWICK_LOG_FILE_BYTES sets the size
// at which it is begun anew, for a test that makes it rotate.
void logToFile(bool verbose) {
    std::size_t bytes = LOG_FILE_BYTES;
    if (const char* text = std::getenv("TOLLWICK_LOG_FILE_BYTES"); text && *text)
        bytes = static_cast<std::size_t>(std::max(1024LL, std::atoll(text)));
    configureFileLogging(verbose, (std::filesystem::path(getUserFilePath("log")) / LOG_FILE_NAME).string(), bytes);
}

// An object that start makes once and never destroys, because daemon threads use it until the
// process ends. It sits in static storage rather than on the heap, so that it and what it holds
// stay reachable whichever way the process ends, and leak checkers do not flag them.
template <typename Make>
auto& makeForTheWholeRun(Make make) {
    using T = decltype(make());
    alignas(T) static unsigned char storage[sizeof(T)];
    return *::new (static_cast<void*>(storage)) T(make());
}

// Ends start-up when the port is taken: shows the running instance when it is ours and the browser
// may be opened, says what is wrong otherwise.
void _exit_if_port_used(bool canPopBrowser) {
    if (const char* debug = std::getenv("FLASK_DEBUG"); debug && *debug) {
        spdlog::info("FLASK_DEBUG is set; skipping port-in-use checks.");
        return;
    }
    if (!_isPortUsed(gPort))
        return;
    if (_isPortUsedByUs(gPort)) {
        if (canPopBrowser)
            openDashboard();
        else
            spdlog::info("Tollwick is already running. Navigate to http://localhost:{}/ to access it.", gPort);
    } else {
        spdlog::error("Port {} is already used by another application. Either identify and stop that program, or "
                      "start Tollwick with a different port.",
                      gPort);
    }
    if (gIsTray)
        stop();
    std::exit(1);
}

} // namespace

int launchPort() noexcept {
    return gPort;
}
bool launchedFromTray() noexcept {
    return gIsTray;
}

void stop() {
    // Asked for from the tray: an orderly end, as when the process is asked to end. Changes not yet
    // written reach the disk first, and the next start must not take it for a crash.
    if (System* system = gServing.load()) {
        system->saveChangedDocuments();
        system->markStopped();
    }
    killOwnProcess();
}

void _openBrowser(const std::string& subpage) {
    openUrlInBrowser("http://localhost:" + std::to_string(gPort) + "/" + subpage);
}

void openDashboard() {
    _openBrowser("");
}

void openWelcome() {
    _openBrowser(gIsTray ? "welcome?isTray=1" : "welcome");
}

std::optional<Json> askRunningSystem(const std::string& target) {
    System* system = gServing.load();
    if (!system)
        return std::nullopt;
    try {
        return system->http().answer(target);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string getIconPath() {
    return (std::filesystem::path(getHtmlDir()) / "favicon.ico").string();
}

int start(bool isTray, const std::vector<std::string>& args) {
    // Read (and taken out of the environment) before any thread or child process exists. Lives as
    // long as the process: the scheduler's daemon thread feeds its watchdog until the process ends.
    auto& serviceManager = makeForTheWholeRun([] { return ServiceNotifier::fromEnvironment(); });
    const std::string title = "Tollwick Player v" + getVersion();
    int status = 0;
    const auto options = parseCommandLine(args, title, status);
    if (!options)
        return status;
    gPort = options->port;
    gIsTray = isTray;
    const bool canPopBrowser = isTray && !options->noPopup;
    // A tray start has no console: its log goes to a file of the user-data directory.
    if (isTray)
        logToFile(options->verbose);
    else
        configureLogging(options->verbose);
    _exit_if_port_used(canPopBrowser);

    spdlog::info("");
    spdlog::info(title);
    spdlog::info("Open a browser and navigate to ----> http://localhost:{}/ <----", gPort);
    spdlog::info("");
    spdlog::debug("User data path: {}", getUserFilePath());

    auto& system = makeForTheWholeRun([] { return System(); });
    bool firstStart = false;
    try {
        firstStart = system.loadDocuments();
    } catch (const std::exception& e) {
        spdlog::error("{}", e.what());
        return 1;
    }
    // A vendor service or browser that hangs up mid-answer must not end the bells.
    ignoreBrokenPipes();
    system.markRunning();
    // Changes not yet written reach the disk when the process is asked to end, which is an end in order.
    onTerminationRequest([&system] {
        system.saveChangedDocuments();
        system.markStopped();
    });
    system.startScheduler([&serviceManager] { serviceManager.watchdog(); });

    if (canPopBrowser) {
        std::thread([firstStart] {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            firstStart ? openWelcome() : openDashboard();
        }).detach();
    }
    system.http().setSessionKey(system.sessionKey());
    const char* fromEnvironment = std::getenv("TOLLWICK_ALLOWED_HOSTS");
    system.http().setAllowedHosts(
        web::allowedHostNames(hostNamesOfThisMachine(), options->allowedHosts, fromEnvironment ? fromEnvironment : ""));
    system.http().setStartupWarnings(system.startupWarnings());
    if (const auto code = system.http().offerSetupCode())
        spdlog::info("To set the password from another computer, enter the set-up code {} on the welcome page", *code);
    // Ready once bound: connections made from then on wait in the listening socket for the server.
    const bool bound = system.http().bind("0.0.0.0", gPort) != -1;
    if (bound) {
        serviceManager.ready();
        gServing = &system;
    }
    if (!bound || !system.http().serve()) {
        spdlog::error("The server cannot listen on port {}: it may be in use by another program.", gPort);
        return 1;
    }
    return 0;
}

} // namespace tollwick
