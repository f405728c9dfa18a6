#pragma once
// The substitute vendor service for development: answers the player's three commands on the
// endpoint "/api/player/v1" from a data directory, and lists what it offers on "/".
//
// The data directory holds
//   calendar-registry.json       {"version": <integer>, "entries": {<region id>: <region>, ...}}
//   announcements/<id>.mp3       the announcements, downloadable by id
//   announcements/texts.tsv      id, voice and spoken text of each (shown in the listing)
// Files are read on every request, so edits take effect without a restart.
#include <filesystem>

#include <httplib.h>

namespace tollwick::devtools {

// The data directory in the source tree, as the build recorded it.
std::filesystem::path defaultVendorDataDir();

// Adds the routes to `server`. Answers:
//   c=ping                       200 JSON {"calendarVersion": <the registry's version>}
//   c=getCalendarRegistry        200 JSON, the registry file as it is
//   c=downloadAnnouncement&id=x  200 audio/mpeg, the file; 404 text for an unknown id
//   any other c                  400 text
// and 500 text when the registry file cannot be read or is not a registry.
void addVendorRoutes(httplib::Server& server, std::filesystem::path dataDir);

} // namespace tollwick::devtools
