#include "scheduling/scheduler.h"

#include <mutex>
#include <thread>
#include <utility>

#include <spdlog/spdlog.h>

#include "scheduling/day_bells.h"
#include "scheduling/day_resolution.h"

namespace tollwick {

void logSchedulerError(const std::exception& error) noexcept {
    try {
        spdlog::error("Scheduler thread error: {}", error.what());
    } catch (...) {
    }
}

Scheduler::Scheduler(Documents& docs, Clock& clock, SoundStarter& sounds, const QuietPeriods& quiet,
                     std::function<void()> phoneHome)
    : _docs(docs), _clock(clock), _sounds(sounds), _quiet(quiet), _phoneHome(std::move(phoneHome)) {}

void Scheduler::run() {
    for (;;) {
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
    return std::min<microseconds>(untilBoundary, milliseconds(100));
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
        std::scoped_lock lock(_docs.mutex);
        for (const long long s : due)
            handleSecond(s, now);
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

void Scheduler::handleSecond(long long second, const ClockReading& now) {
    const long long nowSecond = wallSecondsOf(now);
    const ClockReading reading = second == nowSecond ? now : readingAtWallSeconds(second, now.isDst);
    try {
        if (!_handled.contains(second)) {
            // Changed only when there is a change to make: each hand-out for change counts as a
            // touch, and a touched document is looked over by the writer thread.
            if (std::as_const(_docs).db->settings.dailyPreferences.isNewDay(reading.yearDay))
                _docs.db->settings.dailyPreferences.resetOnNewDay(reading.yearDay);
            const int started = triggerScheduledSounds(reading);
            _handled.add(second);
            if (started > 0 && second < nowSecond)
                spdlog::warn("The bells due at {} started {} s late", formatClockReading(reading, "%H:%M:%S"),
                             nowSecond - second);
        }
        _nowPrev = reading;
    } catch (...) {
        // Tried again by the next pass, as the second after the last one done.
        _nowPrev = readingAtWallSeconds(second - 1, now.isDst);
        throw;
    }
}

void Scheduler::startPhoneHome() {
    if (!_phoneHome || _phoneHomeRunning->exchange(true))
        return; // the previous one is still waiting for the service
    std::thread([running = _phoneHomeRunning, phoneHome = _phoneHome] {
        try {
            phoneHome();
        } catch (const std::exception& e) {
            logSchedulerError(e);
        }
        *running = false;
    }).detach();
}

bool Scheduler::guarded(const std::function<std::shared_ptr<PlayHandle>()>& play) noexcept {
    try {
        return play() != nullptr;
    } catch (const std::exception& e) {
        logSchedulerError(e);
        return false;
    }
}

void Scheduler::skipQuietly(const DB& db, const PlayDesc& desc, const PlayOrigin& origin) noexcept {
    try {
        _sounds.recordSkipped(db, desc.id, origin, "quiet period");
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

int Scheduler::triggerScheduledSounds(const ClockReading& now) {
    // Read through const: a second that rings without changing anything leaves the documents
    // untouched, so the writer thread does not look them over (and hold the mutex) every second.
    const Documents& docs = _docs;
    const DB& db = *docs.db;
    const TimetableInfo info = getActiveTimetableInfo(db, *docs.cache, now);
    const TimeTable* timetable = db.timetables.find(info.id);
    if (!db.settings.schedulerEnable)
        return 0;

    int started = 0;
    std::vector<std::string> keysToRemove;
    const PlayOrigin programme{PlaySource::PROGRAMME, std::nullopt, now};
    for (const auto& [key, p] : db.programmes) {
        if (p.date == now && p.time == now) {
            // A programme that deletes itself takes its song's file along once it has played.
            started += guarded([&, &songId = p.songId, deleteAfterPlay = p.deleteAfterPlay] {
                return deleteAfterPlay ? _sounds.playSongThenRemoveFile(db, songId, programme)
                                       : _sounds.playSongById(db, songId, programme);
            });
            if (p.deleteAfterPlay)
                keysToRemove.push_back(key);
        }
    }
    for (const std::string& key : keysToRemove) {
        guarded([&] {
            const Programme p = _docs.db->programmes.remove(key);
            _docs.db->songs.remove(p.songId);
            return nullptr;
        });
    }
    if (!timetable)
        return started;

    // Only the first channel rings; the second stays in the data for the user to edit.
    const bool quiet = _quiet.isQuiet(now);
    forEachSignal(*timetable,
                  [&](const TimeOfDay& at, PlaySource source, std::optional<int> lesson, const PlayDesc& desc) {
                      if (!(at == now))
                          return;
                      const PlayOrigin origin{source, lesson, now};
                      if (quiet)
                          skipQuietly(db, desc, origin);
                      else
                          started += guarded([&] { return _sounds.playSongByDescriptor(db, desc, origin); });
                  });
    return started;
}

} // namespace tollwick
