#pragma once
// The play log: what rang, when, and how late. One file a day in the user-data directory,
// "playlog/<yyyy-mm-dd>.jsonl", one JSON line per state of an entry; a later line with the same id
// replaces an earlier one, so an entry is written when its play starts and again when it ends.
// Files of days more than KEEP_DAYS back are deleted.
//
// Recording never touches a disk: entries are queued and a thread of the log's own appends them,
// so the scheduler never waits for a file. While the disk refuses them they stay queued (at most
// MAX_PENDING) and are tried again every second; the failure is logged when it begins and when it
// ends, not at every try. A damaged line (a write cut short) is skipped with a warning when the day
// is read.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "model/play_log_entry.h"
#include "runtime/priority_mutex.h"
#include "storage/files.h"

namespace tollwick {

class PlayLog {
public:
    // A day's file is deleted once a day more than this many days later is written.
    static constexpr int KEEP_DAYS = 60;
    // States queued while the disk refuses them, at most; beyond, the oldest are dropped.
    static constexpr std::size_t MAX_PENDING = 10000;

    // Writes its day files to `files`.
    explicit PlayLog(Files& files = systemFiles()) : _files(files) {}
    PlayLog(const PlayLog&) = delete;
    PlayLog& operator=(const PlayLog&) = delete;
    // Stops the thread after it has written what is queued.
    ~PlayLog();
    // The same, before the log goes: entries recorded afterwards stay queued until flush.
    void stop() noexcept;

    // Sets the directory of the day files; it is made when the first entry is written. Call before
    // start and before anything is read.
    void open(std::filesystem::path directory);
    // Starts the thread that writes what is recorded.
    void start();

    // Queues this state of an entry. Cheap and never blocked by a disk: safe on any thread.
    void record(const PlayLogEntry& entry);

    // Writes everything queued now, on the calling thread; failures are logged and the entries
    // stay queued.
    void flush() noexcept;

    // The entries due on `date` ("yyyy-mm-dd"), each in its last state, ordered by the second they
    // were due and then by when they were first written. Writes what is queued first.
    std::vector<PlayLogEntry> read(const std::string& date);

    // A new entry id, unique within the log.
    static std::string newEntryId();

private:
    void run() noexcept;
    // Expects _writeMutex held; answers false when something could not be written.
    bool writePending();
    void appendLines(const std::string& date, const std::string& lines);
    void pruneBefore(const std::string& date) noexcept;
    // Whether a damaged line was already reported; remembers it.
    bool alreadyWarned(const std::string& where);

    Files& _files;
    std::filesystem::path _directory;

    PriorityInheritingMutex _queueMutex; // guards _queue, _stopping; a bell's start queues its entry
    std::condition_variable_any _wake;
    std::deque<PlayLogEntry> _queue;
    bool _stopping = false;

    // One writer at a time, so that the lines of one entry land in the order they were recorded.
    // Also guards _prunedFor, _endsChecked and _failing.
    std::mutex _writeMutex;
    std::string _prunedFor;             // the newest day whose old files were deleted
    std::set<std::string> _endsChecked; // day files whose last line this process has made whole
    bool _failing = false;              // whether the last write failed (and was logged)

    std::mutex _warnMutex; // guards _warned
    std::set<std::string> _warned;

    std::thread _thread;
};

} // namespace tollwick
