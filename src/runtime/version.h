#pragma once
// The version text shown at start-up, in the interface's status data and in reports to the
// vendor service.
#include <string>

namespace tollwick {

// A release answers the trimmed content of the asset "version.info" and throws Error when that
// file is missing or unreadable. A development run answers the trimmed output of
// `git describe --always --dirty` run in the working directory, or "?" when git exits non-zero
// (no repository, no commits yet); it throws Error when git cannot be started at all.
std::string getVersion();

} // namespace tollwick
