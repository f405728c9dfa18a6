#include "vendor_service.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tollwick::devtools {

namespace fs = std::filesystem;

namespace {

constexpr const char* JSON_TYPE = "application/json; charset=utf-8";
constexpr const char* TEXT_TYPE = "text/plain; charset=utf-8";

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The registry file parsed and checked for the two members the player relies on.
nlohmann::ordered_json readRegistry(const fs::path& dataDir) {
    const fs::path path = dataDir / "calendar-registry.json";
    const std::optional<std::string> text = readFile(path);
    if (!text)
        throw std::runtime_error("cannot read " + path.string());
    nlohmann::ordered_json registry = nlohmann::ordered_json::parse(*text);
    if (!registry.is_object() || !registry.contains("version") || !registry["version"].is_number_integer() ||
        !registry.contains("entries") || !registry["entries"].is_object())
        throw std::runtime_error(path.string() + " needs an integer \"version\" and an object \"entries\"");
    return registry;
}

// Announcement ids are file names: letters, digits, "-" and "_" only, so no id reaches outside
// the announcements directory.
bool isUsableId(const std::string& id) {
    static const std::regex pattern("[A-Za-z0-9_-]{1,64}");
    return std::regex_match(id, pattern);
}

void answerText(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", TEXT_TYPE);
}

std::string listing(const fs::path& dataDir) {
    std::ostringstream out;
    out << "Substitute vendor service\n\n"
        << "GET /api/player/v1?c=ping&version=<version>\n"
        << "GET /api/player/v1?c=getCalendarRegistry\n"
        << "GET /api/player/v1?c=downloadAnnouncement&id=<id>\n\n";
    try {
        const auto registry = readRegistry(dataDir);
        out << "Calendar registry version " << registry["version"].get<long long>() << ", regions:\n";
        for (const auto& [id, region] : registry["entries"].items())
            out << "  " << id << "  " << region.value("name", std::string()) << "\n";
    } catch (const std::exception& e) {
        out << "Calendar registry unusable: " << e.what() << "\n";
    }
    out << "\nAnnouncements:\n";
    std::ifstream texts(dataDir / "announcements" / "texts.tsv");
    for (std::string line; std::getline(texts, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        std::istringstream fields(line);
        std::string id, voice, text;
        std::getline(fields, id, '\t');
        std::getline(fields, voice, '\t');
        std::getline(fields, text);
        const bool present = fs::exists(dataDir / "announcements" / (id + ".mp3"));
        out << "  " << id << (present ? "" : " (no file)") << "  " << text << "\n";
    }
    return out.str();
}

} // namespace

fs::path defaultVendorDataDir() {
    return TOLLWICK_VENDOR_DATA_DIR;
}

void addVendorRoutes(httplib::Server& server, fs::path dataDir) {
    server.Get("/", [dataDir](const httplib::Request&, httplib::Response& response) {
        response.set_content(listing(dataDir), TEXT_TYPE);
    });

    server.Get("/api/player/v1", [dataDir](const httplib::Request& request, httplib::Response& response) {
        const std::string command = request.get_param_value("c");
        if (command == "ping" || command == "getCalendarRegistry") {
            nlohmann::ordered_json registry;
            try {
                registry = readRegistry(dataDir);
            } catch (const std::exception& e) {
                return answerText(response, 500, std::string("Registry unusable: ") + e.what());
            }
            if (command == "ping") {
                const nlohmann::ordered_json pong = {{"calendarVersion", registry["version"]}};
                response.set_content(pong.dump(), JSON_TYPE);
            } else {
                response.set_content(registry.dump(), JSON_TYPE);
            }
            return;
        }
        if (command == "downloadAnnouncement") {
            const std::string id = request.get_param_value("id");
            const std::optional<std::string> audio =
                isUsableId(id) ? readFile(dataDir / "announcements" / (id + ".mp3")) : std::nullopt;
            if (!audio)
                return answerText(response, 404, "Unknown announcement: " + id);
            response.set_content(*audio, "audio/mpeg");
            return;
        }
        answerText(response, 400, "Unknown command: " + command);
    });
}

} // namespace tollwick::devtools
