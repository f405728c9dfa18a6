#pragma once
// Where the system's files live: the read-only assets that ship with it and the user-data
// directory that holds the documents, uploaded audio and downloaded announcements.
//
// Every path answered here is absolute with symbolic links resolved, except that
// getUserFilePath joins its name onto the resolved directory as given.
#include <string>
#include <string_view>
#include <utility>

namespace tollwick {

// The name of the user-data directory.
inline constexpr std::string_view APP_NAME = "TollwickPlayer";

// True when this process runs as the installed program, false in a development run.
bool isRelease();

// The file `filename` in the asset directory "assets".
std::string getAssetPath(const std::string& filename);

// The directory of the built browser interface, "web-ui"/"dist" below the asset root.
std::string getHtmlDir();

// The user-data directory; does not create it. A non-empty TOLLWICK_DATA_DIR names it in any
// run. Otherwise a release keeps it in %APPDATA%\TollwickPlayer on Windows (KeyError when APPDATA
// is not set) and in ~/.TollwickPlayer elsewhere; a development run keeps it in "userdata" at the
// top of the source tree, never in the user's profile. A Windows release installed for all the
// users of the PC keeps one directory for all of them, %ProgramData%\TollwickPlayer: the installer
// says so in the file DATA_CHOICE_FILE beside the program.
std::string getUserDataPath();

// The installer's record of where a Windows release keeps its data: the word "ProgramData" (one
// directory for every user of the PC) or "AppData" (each user's own).
inline constexpr std::string_view DATA_CHOICE_FILE = "data-directory.txt";

// The user-data directory joined with `filename`, after creating the directory and its missing
// parents. With no name the answer is the directory followed by one separator.
std::string getUserFilePath(const std::string& filename = "");

// The two directories resolved once, for whoever must name files without touching a disk (the
// scheduler): joining a name onto them reads nothing and makes nothing.
struct Paths {
    std::string assets;   // the asset directory, as getAssetPath("") answers it
    std::string userData; // the user-data directory, as getUserFilePath() answers it

    // Resolves both now, making the user-data directory when it is missing.
    static Paths resolve();

    // The file `filename` in the asset directory.
    std::string asset(const std::string& filename) const;
    // The file `filename` in the user-data directory.
    std::string userFile(const std::string& filename) const;
};

// Deletes the file `filename` in the user-data directory. Throws std::filesystem::filesystem_error,
// naming the file, when it does not exist, is a directory, or cannot be removed.
void removeUserFile(const std::string& filename);

// Splits `filename` at the last dot of its last path component into the text before that dot
// (directory part included) and the lower-cased text after it. Dots that begin the component
// start no extension: without another dot the answer is (filename, "").
std::pair<std::string, std::string> getFileNameAndExtension(const std::string& filename);

} // namespace tollwick
