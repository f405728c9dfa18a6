#include "scheduling/scheduler.h"

#include <mutex>
#include <thread>
#include <utility>

#include <spdlog/spdlog.h>

#include "scheduling/day_bells.h"
#include "scheduling/day_resolution.h"
#include "scheduling/play_resolution.h"

namespace tollwick {

void logSchedulerError(const std::exception& error) noexcept {
    try {
        spdlog::error("Scheduler thread error: {}", error.what());
    } catch (...) {
    }
}

Scheduler::Scheduler(Documents& docs, Clock& clock, SoundStarter& sounds, const QuietPeriods& quiet,
                     std::function<void()> phoneHome, Paths paths)
    : _docs(docs), _clock(clock), _sounds(sounds), _quiet(quiet), _phoneHome(std::move(phoneHome)),
      _paths(std::move(paths)) {}

void Scheduler::run() {
    while (!_stopping) {
        pass();
        if (_afterPass)
            _afterPass();
        std::this_thread::sleep_for(sleepAfterPass(std::chrono::system_clock::now()));
    }
}

std::chrono::microseconds Scheduler::sleepAfterPass(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto intoSecond = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    // The sleep itself overshoots by some tens of microseconds; the margin covers the wall clock
    // running slower than the steady one the sleep is timed by. Waking a little early costs only
    // one more short sleep, since a pass that sees no new second does nothing.
    const auto untilBoundary = microseconds(seconds(1)) - intoSecond + WAKE_MARGIN;
    if (untilBoundary <= LAST_SLEEP)
        return untilBoundary;
    return std::min<microseconds>(untilBoundary - LAST_SLEEP, milliseconds(100));
}

void Scheduler::markHandled(const std::vector<long long>& seconds) {
    for (const long long second : seconds)
        _handled.add(second);
}

void Scheduler::pass() {
    try {
        const ClockReading now = _clock.updateClock();
        const long long second = wallSecondsOf(now);
        if (_nowPrev && second == wallSecondsOf(*_nowPrev))
            return;
        ++_secCounter;
        if (_secCounter % SEC_30_HOURS == 5)
            startPhoneHome();
        const std::vector<long long> due = secondsDue(second);
        std::vector<PlannedPlay> plays;
        {
            std::scoped_lock lock(_docs.mutex);
            for (const long long s : due)
                handleSecond(s, now, plays);
        }
        startAll(plays, second);
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

std::vector<long long> Scheduler::secondsDue(long long second) const {
    if (!_nowPrev)
        return {second};
    const long long lastDone = wallSecondsOf(*_nowPrev);
    const long long gap = second - lastDone;
    if (gap > MAX_CATCH_UP_SECONDS) {
        spdlog::warn("The clock jumped forward by {} s: the bells of the skipped seconds do not ring", gap);
    } else if (gap > 1) {
        std::vector<long long> due;
        for (long long s = lastDone + 1; s <= second; ++s)
            due.push_back(s);
        return due;
    } else if (gap < 0) {
        spdlog::warn("The clock went back by {} s: the seconds it shows again do not ring twice", -gap);
    }
    return {second};
}

void Scheduler::handleSecond(long long second, const ClockReading& now, std::vector<PlannedPlay>& plays) {
    const long long nowSecond = wallSecondsOf(now);
    const ClockReading reading = second == nowSecond ? now : readingAtWallSeconds(second, now.isDst);
    try {
        if (!_handled.contains(second)) {
            // Changed only when there is a change to make: each edit wakes the writer thread.
            if (_docs.db->settings.dailyPreferences.isNewDay(reading.yearDay))
                _docs.db.edit().settings.dailyPreferences.resetOnNewDay(reading.yearDay);
            planSecond(reading, plays);
            _handled.add(second);
        }
        _nowPrev = reading;
    } catch (...) {
        // Tried again by the next pass, as the second after the last one done.
        _nowPrev = readingAtWallSeconds(second - 1, now.isDst);
        throw;
    }
}

void Scheduler::stop() {
    _stopping = true;
    std::unique_lock lock(_phoneHomeState->mutex);
    _phoneHomeState->ended.wait(lock, [this] { return !_phoneHomeState->running; });
}

void Scheduler::startPhoneHome() {
    if (!_phoneHome)
        return;
    {
        std::scoped_lock lock(_phoneHomeState->mutex);
        if (_phoneHomeState->running || _stopping)
            return; // the previous one is still waiting for the service
        _phoneHomeState->running = true;
    }
    const auto run = [state = _phoneHomeState, phoneHome = _phoneHome] {
        try {
            phoneHome();
        } catch (const std::exception& e) {
            logSchedulerError(e);
        }
        {
            std::scoped_lock lock(state->mutex);
            state->running = false;
        }
        state->ended.notify_all();
    };
    try {
        std::thread(run).detach();
    } catch (...) {
        std::scoped_lock lock(_phoneHomeState->mutex);
        _phoneHomeState->running = false;
        throw;
    }
}

template <class Resolve>
void Scheduler::plan(const DB& db, const std::string& songId, const PlayOrigin& origin,
                     std::vector<PlannedPlay>& plays, Resolve&& resolve) noexcept {
    try {
        if (std::optional<PlayRequest> request = resolve())
            plays.push_back({std::move(*request), origin});
    } catch (const std::exception& e) {
        logSchedulerError(e);
        try {
            _sounds.record(songId, songNameOf(db, songId), origin, PlayOutcome::FAILED, e.what());
        } catch (const std::exception& unrecorded) {
            logSchedulerError(unrecorded);
        }
    }
}

int Scheduler::startAll(std::vector<PlannedPlay>& plays, long long nowSecond) noexcept {
    int started = 0;
    std::optional<long long> lateWarned; // the plays come in the order of their seconds
    for (PlannedPlay& play : plays) {
        try {
            if (!_sounds.play(std::move(play.request), play.origin))
                continue;
            ++started;
            const long long second = wallSecondsOf(*play.origin.due);
            if (second < nowSecond && lateWarned != second) {
                lateWarned = second;
                spdlog::warn("The bells due at {} started {} s late",
                             formatClockReading(*play.origin.due, "%H:%M:%S"), nowSecond - second);
            }
        } catch (const std::exception& e) {
            logSchedulerError(e);
        }
    }
    return started;
}

void Scheduler::skip(const DB& db, const std::string& songId, const PlayOrigin& origin,
                     std::string_view reason) noexcept {
    if (songId == NULL_ID)
        return;
    try {
        _sounds.record(songId, songNameOf(db, songId), origin, PlayOutcome::SKIPPED, std::string(reason));
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

void Scheduler::skipSwitchedOff(const DB& db, const ClockReading& now) noexcept {
    try {
        const PlayOrigin programme{PlaySource::PROGRAMME, std::nullopt, now};
        for (const auto& [key, p] : db.programmes)
            if (p.date == now && p.time == now)
                skip(db, p.songId, programme, BELLS_OFF_REASON);
        const TimeTable* timetable = db.timetables.find(timetableOfDay(db, *_docs.cache, now));
        if (!timetable)
            return;
        forEachSignal(*timetable,
                      [&](const TimeOfDay& at, PlaySource source, std::optional<int> lesson, const PlayDesc& desc) {
                          if (at == now)
                              skip(db, desc.id, PlayOrigin{source, lesson, now}, BELLS_OFF_REASON);
                      });
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

int Scheduler::triggerScheduledSounds(const ClockReading& now) {
    std::vector<PlannedPlay> plays;
    {
        std::scoped_lock lock(_docs.mutex);
        planSecond(now, plays);
    }
    return startAll(plays, wallSecondsOf(now));
}

void Scheduler::planSecond(const ClockReading& now, std::vector<PlannedPlay>& plays) {
    const DB& db = *_docs.db;
    if (!db.settings.schedulerEnable)
        return skipSwitchedOff(db, now);
    const TimetableInfo info = getActiveTimetableInfo(db, *_docs.cache, now);
    const TimeTable* timetable = db.timetables.find(info.id);

    std::vector<std::string> keysToRemove;
    const PlayOrigin programme{PlaySource::PROGRAMME, std::nullopt, now};
    // Held by a planned quiet period, a programme is logged as skipped and stays in the list, its
    // file with it, for the user to book again or delete.
    const QuietPeriods::Quietness quiet = _quiet.quietAt(now);
    const bool held = quiet.programmes;
    for (const auto& [key, p] : db.programmes) {
        if (p.date == now && p.time == now && held) {
            skip(db, p.songId, programme, QUIET_REASON);
        } else if (p.date == now && p.time == now) {
            // A programme that deletes itself takes its song's file along once it has played.
            const std::string& songId = p.songId;
            const bool deleteAfterPlay = p.deleteAfterPlay;
            plan(db, songId, programme, plays, [&] {
                return deleteAfterPlay ? resolveSongThenRemoveFile(db, _paths, songId)
                                       : resolveSong(db, _paths, songId);
            });
            if (p.deleteAfterPlay)
                keysToRemove.push_back(key);
        }
    }
    for (const std::string& key : keysToRemove) {
        try {
            const Programme p = _docs.db.edit().programmes.remove(key);
            _docs.db.edit().songs.remove(p.songId);
        } catch (const std::exception& e) {
            logSchedulerError(e);
        }
    }
    if (!timetable)
        return;

    // Only the first channel rings; the second stays in the data for the user to edit.
    forEachSignal(*timetable,
                  [&](const TimeOfDay& at, PlaySource source, std::optional<int> lesson, const PlayDesc& desc) {
                      if (!(at == now))
                          return;
                      const PlayOrigin origin{source, lesson, now};
                      if (quiet.bells)
                          skip(db, desc.id, origin, QUIET_REASON);
                      else
                          plan(db, desc.id, origin, plays, [&] { return resolveDescriptor(db, _paths, desc); });
                  });
}

} // namespace tollwick
