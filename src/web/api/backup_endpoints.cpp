// Backups: "/backup" answers the installation as one zip archive, "/restore" takes one back.
#include <filesystem>
#include <mutex>

#include <spdlog/spdlog.h>

#include "model/uuid.h"
#include "runtime/paths.h"
#include "storage/backup.h"
#include "storage/temporary_names.h"
#include "web/api/change_records.h"
#include "web/api/handlers.h"

namespace tollwick::web {

namespace {

namespace fs = std::filesystem;

// A new file name in the data directory that start-up takes for a leftover of interrupted work.
fs::path temporaryArchivePath(const fs::path& dir) {
    const std::string random = newUuid4().substr(0, TEMPORARY_RANDOM_LENGTH);
    return dir / (temporaryPrefixOf(dir / "backup.zip") + random);
}

// "1 song", "2 songs".
std::string countOf(std::size_t n, const std::string& thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

} // namespace

// The documents are copied under the document mutex and the archive is made after it, so the
// bells never wait for the disk; the archive is sent as it is read and deleted afterwards.
Response get_backup(WebContext& ctx, Request&) {
    DB db;
    Cache cache;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        db = *ctx.docs.db;
        cache = *ctx.docs.cache;
    }
    const fs::path dir = getUserFilePath();
    const fs::path archive = temporaryArchivePath(dir);
    try {
        writeBackup(archive, db, cache, dir);
    } catch (const InvalidValueError& e) {
        ctx.day.files.removeIfPossible(archive);
        return Response(409, PLAIN_TEXT, e.what());
    } catch (...) {
        ctx.day.files.removeIfPossible(archive);
        throw;
    }
    Response response = send_file(archive, "application/zip");
    response.removeFileWhenSent = true;
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"tollwick-backup-" + ctx.clock.getDateString() + ".zip\"");
    return response;
}

// A multipart form with the archive as the file part "file", which waits in a temporary file while
// it is checked. A refused archive is answered 400 with the reason and changes nothing. A checked
// one is committed: its audio files put in place, the documents in memory replaced (the password
// store stays) and written before the answer; a commit that fails is undone whole and answered 500.
Response restore_backup(WebContext& ctx, Request& request) {
    const UploadedPart* file = request.part("file");
    if (!file || !file->stored)
        return BadRequest("No file part");
    std::unique_ptr<PreparedRestore> restore;
    try {
        restore = prepareRestoreFromFile(file->stored->path(), getUserFilePath(), {}, ctx.day.files);
    } catch (const InvalidValueError& e) {
        return BadRequest(e.what());
    }
    // A timetable chosen for the day the backup was made is not today's choice.
    restore->db.settings.dailyPreferences.resetOnNewDay(ctx.clock.getClock().yearDay);
    const std::size_t songs = restore->db.songs.size();
    const std::size_t timetables = restore->db.timetables.size();
    try {
        std::scoped_lock restoring(ctx.restoring);
        commitRestore(*restore, ctx.docs, ctx.day.saveDocumentsNow);
    } catch (const Error& e) {
        spdlog::error("A restore failed and was undone: {}", e.what());
        return Response(500, PLAIN_TEXT,
                        std::string("The backup could not be restored, and everything stays as it was: ") + e.what());
    }
    spdlog::info("Restored a backup with {} songs and {} timetables", songs, timetables);
    recordChange(ctx, request,
                 {"backup.restore", std::nullopt,
                  "Backup with " + countOf(songs, "song") + " and " + countOf(timetables, "timetable")});
    return plain_text("ok");
}

} // namespace tollwick::web
