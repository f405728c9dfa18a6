#include "runtime/paths.h"

#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/run_layout.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace tollwick {
namespace {

namespace fs = std::filesystem;

// Absolute, with links resolved as far as the path exists and the rest normalised; no trailing
// separator, so that callers can join names onto it.
fs::path resolved(const fs::path& path) {
    fs::path result = fs::weakly_canonical(fs::absolute(path));
    if (!result.has_filename() && result.has_relative_path()) {
        result = result.parent_path();
    }
    return result;
}

fs::path assetPath(const fs::path& relative) {
    return resolved(currentRunLayout().assetRoot / relative);
}

// Whether the installer chose one data directory for all the users of the PC.
bool installedForAllUsers(const fs::path& programDirectory) {
    std::ifstream in(programDirectory / DATA_CHOICE_FILE);
    std::string word;
    in >> word;
    return word == "ProgramData";
}

fs::path userDataDirectory() {
    if (const char* configured = std::getenv("TOLLWICK_DATA_DIR"); configured != nullptr && *configured != '\0') {
        return configured;
    }
    const RunLayout layout = currentRunLayout();
    if (!layout.release) {
        return layout.devScriptDir / ".." / "userdata";
    }
    if (isWindows()) {
        const char* programData = std::getenv("ProgramData");
        if (programData != nullptr && *programData != '\0' && installedForAllUsers(layout.assetRoot))
            return fs::path(programData) / APP_NAME;
        const char* appData = std::getenv("APPDATA");
        if (appData == nullptr) {
            throw KeyError("APPDATA");
        }
        return fs::path(appData) / APP_NAME;
    }
    return homeDirectory() / ("." + std::string(APP_NAME));
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool isRelease() {
    return currentRunLayout().release;
}

std::string getAssetPath(const std::string& filename) {
    return assetPath(fs::path("assets") / filename).string();
}

std::string getHtmlDir() {
    return assetPath(fs::path("web-ui") / "dist").string();
}

std::string getUserDataPath() {
    return resolved(userDataDirectory()).string();
}

std::string getUserFilePath(const std::string& filename) {
    const fs::path directory = resolved(userDataDirectory());
    fs::create_directories(directory);
    // Joining an empty name leaves exactly one separator after the directory.
    return (directory / filename).string();
}

Paths Paths::resolve() {
    return {getAssetPath(""), getUserFilePath()};
}

std::string Paths::asset(const std::string& filename) const {
    return (fs::path(assets) / filename).string();
}

std::string Paths::userFile(const std::string& filename) const {
    return userData + filename;
}

void removeUserFile(const std::string& filename) {
    const fs::path file = getUserFilePath(filename);
    std::error_code error;
    // std::filesystem::remove would also take an empty directory and reports a missing file as
    // success; neither is what deleting a user's file means.
    if (fs::is_directory(fs::symlink_status(file, error))) {
        throw fs::filesystem_error("cannot remove user file", file, std::make_error_code(std::errc::is_a_directory));
    }
    if (!fs::remove(file, error)) {
        throw fs::filesystem_error("cannot remove user file", file,
                                   error ? error : std::make_error_code(std::errc::no_such_file_or_directory));
    }
}

std::pair<std::string, std::string> getFileNameAndExtension(const std::string& filename) {
    // Backslash separates components only where the platform says so; on POSIX it is a
    // character like any other in a file name.
    constexpr bool backslashSeparates = fs::path::preferred_separator == '\\';
    const std::size_t separator = filename.find_last_of(backslashSeparates ? "/\\" : "/");
    const std::size_t componentStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = filename.rfind('.');
    const std::size_t firstNonDot = filename.find_first_not_of('.', componentStart);
    if (dot == std::string::npos || dot < componentStart || firstNonDot == std::string::npos || firstNonDot > dot) {
        return {filename, ""};
    }
    std::string extension = filename.substr(dot + 1);
    for (char& c : extension) {
        c = asciiLower(c);
    }
    return {filename.substr(0, dot), extension};
}

} // namespace tollwick
