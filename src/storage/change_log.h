#pragma once
// The change log: who changed what through the interface, and when. One file a day in the
// user-data directory, "changelog/<yyyy-mm-dd>.jsonl", one JSON line per change in the order they
// were made; files of days more than KEEP_DAYS back are deleted. The day files are a DayFileLog:
// a request never waits for the disk, and a failing disk keeps the entries queued.
//
// The last switch of the bells (off or on) is kept in memory, for the interface's banner; open
// finds it in the day files, newest first.
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/change_log_entry.h"
#include "storage/day_file_log.h"
#include "storage/files.h"

namespace tollwick {

class ChangeLog {
public:
    // A day's file is deleted once a day more than this many days later is written.
    static constexpr int KEEP_DAYS = 365;
    // Entries queued while the disk refuses them, at most; beyond, the oldest are dropped.
    static constexpr std::size_t MAX_PENDING = 10000;

    explicit ChangeLog(Files& files = systemFiles()) : _days(files, "change log", KEEP_DAYS, MAX_PENDING) {}
    ChangeLog(const ChangeLog&) = delete;
    ChangeLog& operator=(const ChangeLog&) = delete;

    // Sets the directory of the day files and reads back the last switch of the bells. Call
    // before start.
    void open(std::filesystem::path directory);
    // Starts the thread that writes what is recorded.
    void start() { _days.start(); }
    // Stops the thread after it has written what is queued; entries recorded afterwards stay
    // queued until flush.
    void stop() noexcept { _days.stop(); }
    void flush() noexcept { _days.flush(); }

    // Queues an entry. Never blocked by a disk.
    void record(const ChangeLogEntry& entry);

    // The entries of `date` ("yyyy-mm-dd"), oldest first. Writes what is queued first.
    std::vector<ChangeLogEntry> read(const std::string& date);

    // The last entry that switched the bells off or on; nothing when none is known.
    std::optional<ChangeLogEntry> lastBellsSwitch() const;

private:
    DayFileLog _days;
    mutable std::mutex _lastMutex; // guards _lastBells
    std::optional<ChangeLogEntry> _lastBells;
};

} // namespace tollwick
