// Audio files in and out: uploads of user signals and programme songs, and the download of any
// song's file.
#include <filesystem>
#include <mutex>
#include <optional>

#include "audio/audio_length.h"
#include "model/audio_file_name.h"
#include "model/text_parse.h"
#include "model/uuid.h"
#include "runtime/paths.h"
#include "scheduling/play_resolution.h"
#include "storage/crypto.h"
#include "storage/files.h"
#include "web/api/change_records.h"
#include "web/api/change_summaries.h"
#include "web/api/handlers.h"
#include "web/api/web_input.h"
#include "web/http/content_types.h"

namespace tollwick::web {

namespace {

// Built-in signals count too: their content cannot be uploaded again as a user signal.
// Expects the document mutex held.
bool isSignalAlreadyUploaded(const DB& db, const std::string& md5) {
    for (const auto& [key, song] : db.songs)
        if (song.isSignal() && song.md5 == md5)
            return true;
    return false;
}

std::optional<std::string> textField(const Request& request, std::string_view name) {
    const UploadedPart* part = request.part(name);
    if (!part)
        return std::nullopt;
    return std::string(part->content);
}

// The most bytes of the name an upload gives a signal.
constexpr std::size_t MAX_SIGNAL_NAME_BYTES = 200;

} // namespace

// A multipart form with the file part "file", for a signal the optional text field "signalName"
// (the file's name when it is absent or blank), and for a programme song the text fields
// "programName", "date" and "time". Answers the new signal's key, or the new programme's key.
// The frame has streamed the file into a temporary file in the user-data directory; it takes its
// name only once the form is checked, and is moved without the document mutex, so a large upload
// does not hold up the bells. The sound itself can only be measured in the stored file, which is
// removed again when it holds none.
Response upload_file(WebContext& ctx, Request& request) {
    const UploadedPart* file = request.part("file");
    if (!file)
        return BadRequest("No file part");
    if (file->size > MAX_UPLOAD_BYTES)
        return Response(413, PLAIN_TEXT, "The file is larger than 100 MiB");
    const auto [name, extension] = getFileNameAndExtension(std::string(file->filename));
    if (!isUploadExtension(extension))
        return BadRequest("Bad format: " + extension);
    const std::string& md5 = file->md5;
    const std::string programName = textField(request, "programName").value_or("");
    const std::string signalName(trimmed(textField(request, "signalName").value_or("")));
    const std::string key = newUuid4();

    std::optional<Programme> programme;
    AudioAsset asset;
    try {
        if (!programName.empty()) {
            asset.name = requireUtf8(programName, "programName");
            asset.storageCategory = AudioAssetCategory::PROGRAMME;
            programme = programmeFromInput(key, textField(request, "date"), textField(request, "time"));
        } else {
            asset.name = requireUtf8(signalName.empty() ? name : signalName,
                                     signalName.empty() ? "The file name" : "signalName");
            if (signalName.size() > MAX_SIGNAL_NAME_BYTES)
                throw InvalidValueError("The name of a signal is at most " + std::to_string(MAX_SIGNAL_NAME_BYTES) +
                                        " bytes long");
            asset.storageCategory = AudioAssetCategory::USER_SIGNAL;
        }
    } catch (const InvalidValueError& e) {
        return BadRequest(e.what());
    }
    if (!programme) {
        std::scoped_lock lock(ctx.docs.mutex);
        if (isSignalAlreadyUploaded(*ctx.docs.db, md5))
            return BadRequest("File is already uploaded");
    }

    const std::string saveName = key + "." + extension;
    const std::string path = getUserFilePath(saveName);
    file->stored->commitAs(path);
    asset.md5 = md5;
    asset.filename = saveName;
    asset.lengthSec = getAudioLength(path);
    const auto discard = [&ctx, &path] { ctx.day.files.removeIfPossible(path); };
    // A file whose playing time cannot be measured holds no sound the players can play: stored,
    // it would be offered as a bell that never sounds.
    if (asset.lengthSec < 0) {
        discard();
        return BadRequest("This file is not a playable MP3 or WAV");
    }

    std::scoped_lock lock(ctx.docs.mutex);
    DB& db = ctx.docs.db.edit();
    // The same signal may have come in on another connection while the file was written.
    if (!programme && isSignalAlreadyUploaded(db, md5)) {
        discard();
        return BadRequest("File is already uploaded");
    }
    const std::string songName = asset.name;
    db.songs.add(std::move(asset), key);
    if (!programme) {
        recordChange(ctx, request, {"signal.upload", key, "Signal " + quotedName(songName)});
        return json_response(key);
    }
    const std::string summary = programmeSummary(songName, *programme);
    const std::string programmeKey = db.programmes.add(std::move(*programme));
    recordChange(ctx, request, {"programme.create", programmeKey, summary});
    return json_response(programmeKey);
}

// Any song's file, signal or not: built-in signals from the shipped assets, all others from the
// user-data directory. Only a sound file's name is served: one of the system's own files (the
// password store above all) never is, whatever a song names.
Response get_signal_file(WebContext& ctx, Request& request) {
    const std::string& id = request.param("id");
    std::string path;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const AudioAsset* song = ctx.docs.db->songs.find(id);
        if (!song)
            return Response(404, PLAIN_TEXT, "No song with the id " + id);
        if (!isAudioFileName(song->filename))
            return Response(404, PLAIN_TEXT, "The song " + id + " has no sound file");
        path = songPath(ctx.day.paths, *song);
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return Response(404, PLAIN_TEXT, "The file of the song " + id + " is missing");
    return send_file(path, contentTypeForFile(path));
}

} // namespace tollwick::web
