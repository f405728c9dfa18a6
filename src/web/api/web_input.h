#pragma once
// Reading and checking what a browser sends. Each check fails with an exception whose text is the
// plain-text reason a handler answers with.
#include <optional>
#include <string>
#include <string_view>

#include "model/json.h"
#include "model/programme.h"
#include "web/http/web_types.h"

namespace tollwick::web {

// The request body parsed as JSON, whatever its declared content type; HttpError 400 when it is not JSON.
Json readJsonBody(const Request& request);

// The query parameter `name`; KeyError "Missing query parameter: <name>" when absent.
std::string requireArg(const Args& args, const std::string& name);

// The query parameter `name`, if present.
std::optional<std::string> optionalArg(const Args& args, const std::string& name);

// A decimal whole number with an optional sign ("12", "-1"); InvalidValueError naming `what` otherwise.
long long parseWholeNumber(std::string_view text, std::string_view what);
// The same, within the range of int.
int parseInt(std::string_view text, std::string_view what);

bool isValidUtf8(std::string_view text) noexcept;
// Text that will be stored in the database must be valid UTF-8, or the database could not be
// written as JSON any more. InvalidValueError naming `what` otherwise.
const std::string& requireUtf8(const std::string& text, std::string_view what);

// Ids that become file names ("<id>.mp3") consist of letters, digits, "-" and "_" only, so that
// they can name no other file and no other directory, and make a name this system gives a song's
// sound (model/audio_file_name.h). InvalidValueError otherwise.
void requireFileId(std::string_view id);

// The programme that plays the song `songId` at `date` and `time` as the browser wrote them;
// InvalidValueError naming what is missing or cannot be read.
Programme programmeFromInput(const std::string& songId, const std::optional<std::string>& date,
                             const std::optional<std::string>& time);

} // namespace tollwick::web
