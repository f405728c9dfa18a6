// tollwick-fake-service: the substitute vendor service for development runs. It listens on the
// loopback address only, on the port a development run of the player asks (5002 by default).
#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>
#include <httplib.h>

#include "vendor_service.h"

int main(int argc, char** argv) {
    CLI::App app("Substitute vendor service for developing Tollwick Player");
    int port = 5002;
    std::filesystem::path dataDir = tollwick::devtools::defaultVendorDataDir();
    app.add_option("--port", port, "TCP port on 127.0.0.1")->check(CLI::Range(1, 65535));
    app.add_option("--data", dataDir, "data directory (calendar-registry.json, announcements/)")
        ->check(CLI::ExistingDirectory);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    httplib::Server server;
    tollwick::devtools::addVendorRoutes(server, dataDir);
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << request.method << " " << request.target << " -> " << response.status << std::endl;
    });

    if (!server.bind_to_port("127.0.0.1", port)) {
        std::cerr << "Cannot listen on 127.0.0.1:" << port << " (is another instance running?)" << std::endl;
        return 1;
    }
    std::cerr << "Substitute vendor service on http://127.0.0.1:" << port << " with data from " << dataDir.string()
              << " (Ctrl+C ends it)" << std::endl;
    server.listen_after_bind();
    return 0;
}
