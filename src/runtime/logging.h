#pragma once
// The one process log: every line is the message text alone, on standard error. When standard
// error is systemd's journal, each line begins with its syslog priority instead ("<3>" for errors,
// "<4>" warnings, "<6>" information, "<7>" debugging), so that the journal ranks it; the journal
// adds the time itself.
#include <cstddef>
#include <string>

namespace tollwick {

// Debug level with `verbose`, info otherwise.
void configureLogging(bool verbose);

// For a run without a console (the tray launcher): the same log into the file `path`, each line
// with its time and level. The file is begun anew at `maxBytes`, the older ones kept as
// "<name>.1<ext>" to "<name>.<LOG_FILES_KEPT><ext>", the oldest dropped. The directory is made when
// it is missing.
inline constexpr std::size_t LOG_FILE_BYTES = 4 * 1024 * 1024;
inline constexpr std::size_t LOG_FILES_KEPT = 3;
void configureFileLogging(bool verbose, const std::string& path, std::size_t maxBytes = LOG_FILE_BYTES);

} // namespace tollwick
