// The trigger targets: deleting entries, playing signals and announcements, calendar events and
// the alarm. Changes to the documents are saved by the writer thread. Each target answers what it
// changed, which trigger_endpoint records in the change log with who changed it.
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
#include "storage/atomic_file.h"
#include "storage/crypto.h"
#include "web/api/change_summaries.h"
#include "web/api/day_targets.h"
#include "web/api/target_api.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

// The element at `position` (negative counts from the end) is removed and answered.
template <class T>
T eraseAtPosition(std::vector<T>& list, const std::string& position) {
    const long long n = static_cast<long long>(list.size());
    long long index = parseWholeNumber(position, "The position");
    if (index < 0)
        index += n;
    if (index < 0 || index >= n)
        throw IndexError("list index out of range");
    T removed = std::move(list[static_cast<std::size_t>(index)]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    return removed;
}

std::optional<std::string> nameOrNothing(const std::string& name) {
    return name.empty() ? std::nullopt : std::optional<std::string>(name);
}

// A built-in signal loses its entry only: its file ships with the system. The file is deleted
// after the mutex is released: a slow disk must not hold up the bells.
std::optional<Change> deleteSignal(WebContext& ctx, const std::string& id, const Args&) {
    AudioAsset song;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        song = ctx.docs.db.edit().songs.remove(id);
    }
    if (song.storageCategory != AudioAssetCategory::BUILT_IN_SIGNAL)
        removeUserFile(song.filename);
    return Change{"signal.delete", id, "Signal " + quotedName(song.name)};
}

std::optional<Change> deleteProgramme(WebContext& ctx, const std::string& id, const Args&) {
    AudioAsset song;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const Programme programme = ctx.docs.db.edit().programmes.remove(id);
        song = ctx.docs.db.edit().songs.remove(programme.songId);
    }
    removeUserFile(song.filename);
    return Change{"programme.delete", id, "Programme " + quotedName(song.name)};
}

std::optional<Change> deleteSingleEvent(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    const SingleCalendarEvent event = eraseAtPosition(ctx.docs.db.edit().settings.calendar.singleEvents, id);
    return Change{"event.delete", nameOrNothing(event.name), eventSummary(*ctx.docs.db, event)};
}

std::optional<Change> deleteReoccurringEvent(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    const ReoccurringCalendarEvent event = eraseAtPosition(ctx.docs.db.edit().settings.calendar.reoccurringEvents, id);
    return Change{"event.delete", nameOrNothing(event.name), eventSummary(*ctx.docs.db, event)};
}

std::optional<Change> playSignal(WebContext& ctx, const std::string& id, const Args&) {
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
    return std::nullopt;
}

std::optional<Change> testLoudspeakers(WebContext& ctx, const std::string&, const Args&) {
    ctx.day.sounds.play(resolveLoudspeakerTest(ctx.day.paths), PlayOrigin{PlaySource::MANUAL});
    return std::nullopt;
}

std::optional<Change> deleteTimetable(WebContext& ctx, const std::string& id, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    const TimeTable removed = ctx.docs.db.edit().timetables.remove(id);
    return Change{"timetable.delete", id, "Timetable " + quotedName(removed.name)};
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
std::optional<Change> announce(WebContext& ctx, const std::string& id, const Args&) {
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
    return std::nullopt;
}

// Downloads the announcement into "<id>.mp3" for scheduleProgrammedAnnouncement; nothing plays.
std::optional<Change> announceProgrammed(WebContext& ctx, const std::string& id, const Args&) {
    requireFileId(id);
    downloadAnnouncement(ctx, id, ctx.day.paths.userFile(id + ".mp3"));
    return std::nullopt;
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
std::optional<Change> addSingleEvent(WebContext& ctx, const std::string&, const Args& args) {
    const std::string timetableId = requireUtf8(requireArg(args, "timetableId"), "timetableId");
    SingleCalendarEvent event =
        SingleCalendarEvent::fromUserInput(timetableId, requireArg(args, "startDate"), requireArg(args, "endDate"));
    event.name = eventName(args);
    std::scoped_lock lock(ctx.docs.mutex);
    Change change{"event.create", nameOrNothing(event.name), eventSummary(*ctx.docs.db, event)};
    auto& events = ctx.docs.db.edit().settings.calendar.singleEvents;
    events.insert(events.begin(), std::move(event));
    return change;
}

std::optional<Change> addReoccurringEvent(WebContext& ctx, const std::string&, const Args& args) {
    const std::string timetableId = requireUtf8(requireArg(args, "timetableId"), "timetableId");
    ReoccurringCalendarEvent event = ReoccurringCalendarEvent::fromUserInput(
        timetableId, parseInt(requireArg(args, "mode"), "mode"), parseInt(requireArg(args, "days"), "days"));
    event.name = eventName(args);
    std::scoped_lock lock(ctx.docs.mutex);
    Change change{"event.create", nameOrNothing(event.name), eventSummary(*ctx.docs.db, event)};
    auto& events = ctx.docs.db.edit().settings.calendar.reoccurringEvents;
    events.insert(events.begin(), std::move(event));
    return change;
}

// Turns the file "<id>.mp3" downloaded by announceProgrammed into a song and a programme, both
// under the key `id`. Everything is checked before anything is stored, so a refused request
// leaves no song without its programme behind and can simply be sent again, corrected.
std::optional<Change> scheduleProgrammedAnnouncement(WebContext& ctx, const std::string& id, const Args& args) {
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
    Change change{"programme.create", id, programmeSummary(name, programme)};
    db.songs.add(std::move(song), id);
    db.programmes.add(std::move(programme), id);
    return change;
}

std::optional<Change> toggleAlarm(WebContext& ctx, const std::string&, const Args&) {
    const bool wasOn = ctx.alarm.isActive();
    ctx.alarm.toggle([&ctx] {
        std::scoped_lock lock(ctx.docs.mutex);
        return resolveAlarm(*ctx.docs.db, ctx.day.paths);
    });
    return wasOn ? Change{"alarm.off", std::nullopt, "Alarm switched off"}
                 : Change{"alarm.on", std::nullopt, "Alarm switched on"};
}

// Ends whatever is playing: signals, announcements, programmes and the alarm, which is then off.
std::optional<Change> stopAll(WebContext& ctx, const std::string&, const Args&) {
    ctx.alarm.switchOff();
    ctx.player.stopAll();
    return std::nullopt;
}

// A new monitoring token; the old one is refused from now on.
std::optional<Change> newMetricsToken(WebContext& ctx, const std::string&, const Args&) {
    std::scoped_lock lock(ctx.docs.mutex);
    ctx.docs.shadow.edit().newMetricsToken();
    return Change{"monitoring.token.new", std::nullopt, "New monitoring token; the old one no longer works"};
}

using TriggerTarget = std::optional<Change> (*)(WebContext&, const std::string&, const Args&);

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
};

} // namespace

std::optional<Change> trigger_target(WebContext& ctx, const std::string& target, const std::string& id,
                                     const Args& args) {
    for (const auto& [name, act] : TRIGGER_TARGETS)
        if (name == target)
            return act(ctx, id, args);
    throw InvalidValueError("Unknown target: " + target);
}

} // namespace tollwick::web
