// The trigger targets: deleting entries, playing signals and announcements, calendar events and
// the alarm. Changes to the documents are saved by the writer thread.
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "audio/audio_length.h"
#include "audio/player_sounds.h"
#include "model/audio_file_name.h"
#include "model/uuid.h"
#include "runtime/paths.h"
#include "scheduling/play_resolution.h"
#include "service/alerts.h"
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "web/api/day_targets.h"
#include "web/api/range_checks.h"
#include "web/api/target_api.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

// The element at `position` (negative counts from the end) is removed.
template <class T>
void eraseAtPosition(std::vector<T>& list, const std::string& position) {
    const long long n = static_cast<long long>(list.size());
    long long index = parseWholeNumber(position, "The position");
    if (index < 0)
        index += n;
    if (index < 0 || index >= n)
        throw IndexError("list index out of range");
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
}

// A built-in signal loses its entry only: its file ships with the system. The file is deleted
// after the mutex is released: a slow disk must not hold up the bells.
void deleteSignal(WebContext& ctx, const std::string& id, const Args&) {
    AudioAsset song;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        song = ctx.docs.db.edit().songs.remove(id);
    }
    if (song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL)
        removeUserFile(song.filename);
}

void deleteProgramme(WebContext& ctx, const std::string& id, const Args&) {
    AudioAsset song;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const Programme programme = ctx.docs.db.edit().programmes.remove(id);
        song = ctx.docs.db.edit().songs.remove(programme.songId);
    }
    removeUserFile(song.filename);
}

void deleteSingleEvent(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    eraseAtPosition(ctx.docs.db.edit().settings.calendar.singleEvents, id);
}

void deleteReoccurringEvent(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    eraseAtPosition(ctx.docs.db.edit().settings.calendar.reoccurringEvents, id);
}

void playSignal(WebContext& ctx, const std::string& id, const Args&) {
    const PlayOrigin origin{PlaySource::MANUAL};
    std::optional<PlayRequest> request;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        try {
            request = resolveSong(*ctx.docs.db, ctx.day.paths, id);
        } catch (const std::exception& e) {
            ctx.day.sounds.record(id, songNameOf(*ctx.docs.db, id), origin, PlayOutcome::FAILED, e.what());
            throw;
        }
    }
    if (request)
        ctx.day.sounds.play(std::move(*request), origin);
}

void testLoudspeakers(WebContext& ctx, const std::string&, const Args&) {
    ctx.day.sounds.play(resolveLoudspeakerTest(ctx.day.paths), PlayOrigin{PlaySource::MANUAL});
}

void deleteTimetable(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    ctx.docs.db.edit().timetables.remove(id);
}

// Fetches the announcement `id` from the vendor service into the file `path`; Error when that
// fails. Runs without the document mutex.
void downloadAnnouncement(WebContext& ctx, const std::string& id, const std::string& path) {
    if (!ctx.api.downloadAnnouncement(id, path).isOk())
        throw Error("Failed to download announcement");
}

// Each announcement gets a file of its own, deleted once it has played, so that a second one
// cannot replace the file under a first that is still playing. The download runs without the
// document mutex; only the play takes it.
void announce(WebContext& ctx, const std::string& id, const Args&) {
    const PlayOrigin origin{PlaySource::ANNOUNCEMENT};
    const std::string path = ctx.day.paths.userFile(ANNOUNCEMENT_FILE_PREFIX + newUuid4() + ".mp3");
    try {
        downloadAnnouncement(ctx, id, path);
    } catch (const std::exception& e) {
        ctx.day.sounds.record(id, id, origin, PlayOutcome::FAILED, e.what());
        throw;
    }
    try {
        PlayRequest request;
        {
            std::scoped_lock lock(ctx.docs.mutex);
            request = resolveAnnouncement(*ctx.docs.db, ctx.day.paths, path, id, true);
        }
        ctx.day.sounds.play(std::move(request), origin);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw;
    }
}

// Downloads the announcement into "<id>.mp3" for scheduleProgrammedAnnouncement; nothing plays.
void announceProgrammed(WebContext& ctx, const std::string& id, const Args&) {
    requireFileId(id);
    downloadAnnouncement(ctx, id, ctx.day.paths.userFile(id + ".mp3"));
}

// The optional query parameter `name` of a new calendar event; empty when absent.
std::string eventName(const Args& args) {
    std::string name = requireUtf8(optionalArg(args, "name").value_or(""), "name");
    if (name.size() > MAX_EVENT_NAME_BYTES)
        throw InvalidValueError("The name of a calendar event is at most " + std::to_string(MAX_EVENT_NAME_BYTES) +
                                " bytes long");
    return name;
}

// The newest event goes to the front: calendar resolution takes the first event that covers a
// date, so it wins over older ones.
void addSingleEvent(WebContext& ctx, const std::string&, const Args& args) {
    const std::string timetableId = requireUtf8(requireArg(args, "timetableId"), "timetableId");
    SingleCalendarEvent event =
        SingleCalendarEvent::fromUserInput(timetableId, requireArg(args, "startDate"), requireArg(args, "endDate"));
    event.name = eventName(args);
    std::scoped_lock lock(ctx.docs.mutex);
    auto& events = ctx.docs.db.edit().settings.calendar.singleEvents;
    events.insert(events.begin(), std::move(event));
}

void addReoccurringEvent(WebContext& ctx, const std::string&, const Args& args) {
    const std::string timetableId = requireUtf8(requireArg(args, "timetableId"), "timetableId");
    ReoccurringCalendarEvent event = ReoccurringCalendarEvent::fromUserInput(
        timetableId, parseInt(requireArg(args, "mode"), "mode"), parseInt(requireArg(args, "days"), "days"));
    event.name = eventName(args);
    std::scoped_lock lock(ctx.docs.mutex);
    auto& events = ctx.docs.db.edit().settings.calendar.reoccurringEvents;
    events.insert(events.begin(), std::move(event));
}

// Turns the file "<id>.mp3" downloaded by announceProgrammed into a song and a programme, both
// under the key `id`. Everything is checked before anything is stored, so a refused request
// leaves no song without its programme behind and can simply be sent again, corrected.
void scheduleProgrammedAnnouncement(WebContext& ctx, const std::string& id, const Args& args) {
    requireFileId(id);
    const std::string name = requireUtf8(requireArg(args, "programName"), "programName");
    Programme programme = programmeFromInput(id, optionalArg(args, "date"), optionalArg(args, "time"));
    const std::string fileName = id + ".mp3";
    const std::string filePath = ctx.day.paths.userFile(fileName);
    const std::optional<std::string> content = readWholeFile(filePath);
    if (!content)
        throw Error("No such file: " + filePath);
    AudioAsset song{name, md5Hex(*content), fileName, getAudioLength(filePath),
                    AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT};
    std::scoped_lock lock(ctx.docs.mutex);
    DB& db = ctx.docs.db.edit();
    if (db.songs.contains(id) || db.programmes.contains(id))
        throw KeyError("Key already exists");
    db.songs.add(std::move(song), id);
    db.programmes.add(std::move(programme), id);
}

void toggleAlarm(WebContext& ctx, const std::string&, const Args&) {
    ctx.alarm.toggle([&ctx] {
        std::scoped_lock lock(ctx.docs.mutex);
        return resolveAlarm(*ctx.docs.db, ctx.day.paths);
    });
}

// Ends whatever is playing: signals, announcements, programmes and the alarm, which is then off.
void stopAll(WebContext& ctx, const std::string&, const Args&) {
    ctx.alarm.switchOff();
    ctx.player.stopAll();
}

// A new monitoring token; the old one is refused from now on.
void newMetricsToken(WebContext& ctx, const std::string&, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    ctx.docs.shadow.edit().newMetricsToken();
}

// One test alert to the address `url` as a target of `kind` (webhook or ntfy), checked as the
// settings check their targets. Sent on the request's thread with no mutex held; fails with the
// reason when the target did not answer 2xx.
void sendTestAlert(WebContext& ctx, const std::string&, const Args& args) {
    AlertTarget target;
    const std::string kind = requireArg(args, "kind");
    bool known = false;
    for (const auto& [member, text] : EnumTexts<AlertKind>::texts)
        if (text == kind) {
            target.kind = member;
            known = true;
        }
    if (!known)
        throw InvalidValueError("Invalid value for \"kind\": \"" + kind + "\" is not webhook or ntfy");
    target.url = requireArg(args, "url");
    checkAlertTargets({target});
    if (!ctx.day.alerts)
        throw Error("No alerts are sent from here");
    ctx.day.alerts->sendTest(target.kind, target.url);
}

using TriggerTarget = void (*)(WebContext&, const std::string&, const Args&);

// Compared in this order; the first name that equals the target acts.
constexpr std::pair<std::string_view, TriggerTarget> TRIGGER_TARGETS[] = {
    {"deleteSignal", deleteSignal},
    {"deleteProgramme", deleteProgramme},
    {"deleteSingleEvent", deleteSingleEvent},
    {"deleteReoccurringEvent", deleteReoccurringEvent},
    {"playSignal", playSignal},
    {"testLoudspeakers", testLoudspeakers},
    {"deleteTimetable", deleteTimetable},
    {"announce", announce},
    {"announceProgrammed", announceProgrammed},
    {"addSingleEvent", addSingleEvent},
    {"addReoccurringEvent", addReoccurringEvent},
    {"scheduleProgrammedAnnouncement", scheduleProgrammedAnnouncement},
    {"toggleAlarm", toggleAlarm},
    {"stopAll", stopAll},
    {"muteBells", muteBells},
    {"skipNextBell", skipNextBell},
    {"clearQuiet", clearQuiet},
    {"planQuiet", planQuiet},
    {"unplanQuiet", unplanQuiet},
    {"newMetricsToken", newMetricsToken},
    {"sendTestAlert", sendTestAlert},
};

} // namespace

void trigger_target(WebContext& ctx, const std::string& target, const std::string& id, const Args& args) {
    for (const auto& [name, act] : TRIGGER_TARGETS) {
        if (name == target) {
            act(ctx, id, args);
            return;
        }
    }
    throw InvalidValueError("Unknown target: " + target);
}

} // namespace tollwick::web
