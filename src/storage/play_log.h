#pragma once
// The play log: what rang, when, and how late. One file a day in the user-data directory,
// "playlog/<yyyy-mm-dd>.jsonl", one JSON line per state of an entry; a later line with the same id
// replaces an earlier one, so an entry is written when its play starts and again when it ends.
// Files of days more than KEEP_DAYS back are deleted.
//
// The day files are a DayFileLog: recording never touches a disk, so the scheduler never waits for
// a file, and a failing disk keeps the entries queued (at most MAX_PENDING) until it takes them.
#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "model/play_log_entry.h"
#include "storage/day_file_log.h"
#include "storage/files.h"

namespace tollwick {

class PlayLog {
public:
    // A day's file is deleted once a day more than this many days later is written.
    static constexpr int KEEP_DAYS = 60;
    // States queued while the disk refuses them, at most; beyond, the oldest are dropped.
    static constexpr std::size_t MAX_PENDING = 10000;

    // Writes its day files to `files`.
    explicit PlayLog(Files& files = systemFiles()) : _days(files, "play log", KEEP_DAYS, MAX_PENDING) {}
    PlayLog(const PlayLog&) = delete;
    PlayLog& operator=(const PlayLog&) = delete;
    // Stops the thread after it has written what is queued; entries recorded afterwards stay queued
    // until flush. The destructor does the same.
    void stop() noexcept { _days.stop(); }

    // Sets the directory of the day files; it is made when the first entry is written. Call before
    // start and before anything is read.
    void open(std::filesystem::path directory) { _days.open(std::move(directory)); }
    // Starts the thread that writes what is recorded.
    void start() { _days.start(); }

    // Queues this state of an entry. Cheap and never blocked by a disk: safe on any thread.
    void record(const PlayLogEntry& entry);

    // Writes everything queued now, on the calling thread; failures are logged and the entries
    // stay queued.
    void flush() noexcept { _days.flush(); }

    // The entries due on `date` ("yyyy-mm-dd"), each in its last state, ordered by the second they
    // were due and then by when they were first written. Writes what is queued first.
    std::vector<PlayLogEntry> read(const std::string& date);

    // A new entry id, unique within the log.
    static std::string newEntryId();

private:
    DayFileLog _days;
};

} // namespace tollwick
