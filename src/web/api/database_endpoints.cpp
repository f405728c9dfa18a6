// The database endpoints: the whole database, the timetables and the settings. Changes are made
// in memory; the writer thread (DocumentWriter) writes "_db.json" soon after.
#include <mutex>
#include <optional>

#include "model/json_text.h"
#include "runtime/errors.h"
#include "web/api/change_records.h"
#include "web/api/change_summaries.h"
#include "web/api/handlers.h"
#include "web/api/range_checks.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

// The timetable a request body describes; members that name no field (such as the "id" of the
// table form) are ignored, missing ones keep their defaults. Nothing when it cannot be decoded.
std::optional<TimeTable> decodeTimetable(const Request& request) noexcept {
    try {
        return from_json<TimeTable>(request.body);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

// The text is made again only when the database changed since the last answer. Then a copy is
// taken under the mutex and encoded after it: encoding a large database takes tens of times
// longer than copying it, and the scheduler must not wait for it.
Response get_db(WebContext& ctx, Request&) {
    DbAnswerCache& cache = ctx.dbAnswer;
    std::shared_ptr<const std::string> text;
    Fingerprint fingerprint = 0;
    std::uint64_t touches = 0;
    DB snapshot;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        touches = ctx.docs.db.touches();
        {
            std::scoped_lock cacheLock(cache.mutex);
            if (cache.text && cache.touches == touches)
                text = cache.text;
        }
        if (!text) {
            fingerprint = fingerprintOf(*ctx.docs.db);
            std::scoped_lock cacheLock(cache.mutex);
            if (cache.fingerprint == fingerprint) {
                cache.touches = touches;
                text = cache.text;
            }
        }
        if (!text)
            snapshot = *ctx.docs.db;
    }
    if (!text) {
        text = std::make_shared<const std::string>(toJsonText(to_dict(snapshot)));
        std::scoped_lock cacheLock(cache.mutex);
        cache.fingerprint = fingerprint;
        cache.touches = touches;
        cache.text = text;
    }
    return Response(200, JSON_TYPE, *text);
}

Response get_timetables(WebContext& ctx, Request&) {
    MapDb<TimeTable> timetables;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        timetables = ctx.docs.db->timetables;
    }
    return json_response(timetables.asTable());
}

Response timetables_create(WebContext& ctx, Request& request) {
    std::optional<TimeTable> timetable = decodeTimetable(request);
    if (!timetable)
        return BadRequest("Invalid timetable");
    try {
        checkRanges(*timetable);
    } catch (const InvalidValueError& e) {
        return BadRequest(e.what());
    }
    const std::string summary = "Timetable " + quotedName(timetable->name);
    std::scoped_lock lock(ctx.docs.mutex);
    const std::string key = ctx.docs.db.edit().timetables.add(std::move(*timetable));
    recordChange(ctx, request, {"timetable.create", key, summary});
    return json_response(key);
}

// An unknown id is refused before the body is looked at.
Response timetables_update(WebContext& ctx, Request& request) {
    const std::string& id = request.param("id");
    std::optional<TimeTable> timetable = decodeTimetable(request);
    std::scoped_lock lock(ctx.docs.mutex);
    if (!ctx.docs.db->timetables.contains(id))
        return BadRequest("ID not found");
    if (!timetable)
        return BadRequest("Invalid timetable");
    try {
        checkRanges(*timetable);
    } catch (const InvalidValueError& e) {
        return BadRequest(e.what());
    }
    const std::string summary = timetableSummary(ctx.docs.db->timetables.get(id), *timetable);
    ctx.docs.db.edit().timetables.set(id, std::move(*timetable));
    if (!summary.empty())
        recordChange(ctx, request, {"timetable.update", id, summary});
    return json_response(true);
}

// Body: {"<dotted field path>": <value>, ...}, applied in body order. Every value must fit its
// field's type, as it would when the database is loaded again; one that does not refuses the
// whole request with 400 naming the member, and nothing of it is applied. A last piece that names
// no field is ignored.
Response update_settings(WebContext& ctx, Request& request) {
    const Json data = readJsonBody(request);
    if (!data.is_object())
        return BadRequest("The settings update must be a JSON object");
    std::scoped_lock lock(ctx.docs.mutex);
    Settings updated = ctx.docs.db->settings;
    for (const auto& [member, value] : data.items()) {
        try {
            assignPath(updated, member, value);
        } catch (const DecodeError& e) {
            return BadRequest(e.what()); // names the path from the member's name down to the failing value
        } catch (const Error& e) {
            return BadRequest("Invalid setting \"" + member + "\": " + e.what());
        }
    }
    // Only a new value is checked, so that one stored before the limits does not block other changes.
    try {
        if (updated.alarmDelaySec != ctx.docs.db->settings.alarmDelaySec)
            checkRanges(updated);
        if (updated.language != ctx.docs.db->settings.language)
            checkLanguage(updated.language);
        if (updated.schoolName != ctx.docs.db->settings.schoolName)
            checkSchoolName(updated.schoolName);
        if (updated.alertTargets != ctx.docs.db->settings.alertTargets)
            checkAlertTargets(updated.alertTargets);
    } catch (const InvalidValueError& e) {
        return BadRequest(e.what());
    }
    const std::vector<Change> changes = settingsChanges(ctx.docs.db->settings, updated);
    ctx.docs.db.edit().settings = std::move(updated);
    for (const Change& change : changes)
        recordChange(ctx, request, change);
    return json_response(true);
}

} // namespace tollwick::web
