#include "scheduling/scheduler.h"

#include <mutex>
#include <thread>

#include <spdlog/spdlog.h>

#include "scheduling/day_resolution.h"

namespace tollwick {

void logSchedulerError(const std::exception& error) noexcept {
    try {
        spdlog::error("Scheduler thread error: {}", error.what());
    } catch (...) {
    }
}

Scheduler::Scheduler(Documents& docs, Clock& clock, SoundStarter& sounds, std::function<void()> phoneHome)
    : _docs(docs), _clock(clock), _sounds(sounds), _phoneHome(std::move(phoneHome)) {}

void Scheduler::run() {
    for (;;) {
        pass();
        std::this_thread::sleep_for(sleepAfterPass(std::chrono::system_clock::now()));
    }
}

std::chrono::microseconds Scheduler::sleepAfterPass(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto intoSecond = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    const auto untilBoundary = microseconds(seconds(1)) - intoSecond + microseconds(500);
    return std::min<microseconds>(untilBoundary, milliseconds(100));
}

void Scheduler::pass() {
    try {
        const ClockReading now = _clock.updateClock();
        if (now != _nowPrev) {
            ++_secCounter;
            if (_secCounter % SEC_30_HOURS == 5)
                startPhoneHome();
            std::scoped_lock lock(_docs.mutex);
            _docs.db->settings.dailyPreferences.resetOnNewDay(now.yearDay);
            triggerScheduledSounds();
            _nowPrev = now;
        }
        saveChangedDocuments();
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

void Scheduler::saveChangedDocuments() {
    std::scoped_lock lock(_docs.mutex);
    tollwick::saveChangedDocuments(_docs, [](std::string_view, const std::exception& e) { logSchedulerError(e); });
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

void Scheduler::guarded(const std::function<void()>& play) noexcept {
    try {
        play();
    } catch (const std::exception& e) {
        logSchedulerError(e);
    }
}

void Scheduler::triggerScheduledSounds() {
    DB& db = *_docs.db;
    const ClockReading now = _clock.getClock();
    const TimetableInfo info = getActiveTimetableInfo(db, *_docs.cache, now);
    const TimeTable* timetable = db.timetables.find(info.id);
    if (!db.settings.schedulerEnable)
        return;

    std::vector<std::string> keysToRemove;
    for (const auto& [key, p] : db.programmes) {
        if (p.date == now && p.time == now) {
            guarded([&, &songId = p.songId] { _sounds.playSongById(db, songId); });
            if (p.deleteAfterPlay)
                keysToRemove.push_back(key);
        }
    }
    for (const std::string& key : keysToRemove) {
        guarded([&] {
            const Programme p = db.programmes.remove(key);
            db.songs.remove(p.songId);
        });
    }
    if (!timetable)
        return;

    // Only the first channel rings; the second stays in the data for the user to edit.
    const SignalTable& table = timetable->chAt(0);
    for (const Lesson& lesson : table.lessons) {
        if (lesson.start == now)
            guarded([&] { _sounds.playSongByDescriptor(db, table.startOfClass); });
        if (lesson.end == now)
            guarded([&] { _sounds.playSongByDescriptor(db, table.endOfClass); });
        if (lesson.start.minusMinutes(table.preStartWaitMin) == now)
            guarded([&] { _sounds.playSongByDescriptor(db, table.preStart); });
        if (lesson.end.minusMinutes(table.preEndWaitMin) == now)
            guarded([&] { _sounds.playSongByDescriptor(db, table.preEnd); });
    }
    for (const UserPlay& customPlay : timetable->customPlays)
        for (const TimeOfDay& slot : customPlay.slots)
            if (slot == now)
                guarded([&] { _sounds.playSongByDescriptor(db, customPlay.desc); });
}

} // namespace tollwick
