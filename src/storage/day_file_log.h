#pragma once
// A log kept as one file a day, "<directory>/<yyyy-mm-dd>.jsonl", one line per record: what the
// play log and the change log share. Files of days more than `keepDays` back are deleted.
//
// Recording never touches a disk: lines are queued and a thread of the log's own appends them, so
// that whoever records never waits for a file. While the disk refuses them they stay queued (at
// most `maxPending`) and are tried again every second; the failure is logged when it begins and
// when it ends, not at every try. A damaged line (a write cut short) is skipped with a warning
// when the day is read, once per line.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/priority_mutex.h"
#include "storage/files.h"

namespace tollwick {

class DayFileLog {
public:
    // `name` is how messages call the log: "play log".
    DayFileLog(Files& files, std::string name, int keepDays, std::size_t maxPending)
        : _files(files), _name(std::move(name)), _keepDays(keepDays), _maxPending(maxPending) {}
    DayFileLog(const DayFileLog&) = delete;
    DayFileLog& operator=(const DayFileLog&) = delete;
    // Stops the thread after it has written what is queued.
    ~DayFileLog();
    // The same, before the log goes: lines recorded afterwards stay queued until flush.
    void stop() noexcept;

    // Sets the directory of the day files; it is made when the first line is written. Call before
    // start and before anything is read.
    void open(std::filesystem::path directory);
    const std::filesystem::path& directory() const noexcept { return _directory; }
    // Starts the thread that writes what is recorded.
    void start();

    // Queues one line (without its newline) for the file of `date` ("yyyy-mm-dd"). Cheap and never
    // blocked by a disk: safe on any thread.
    void record(std::string date, std::string line);

    // Writes everything queued now, on the calling thread; failures are logged and the lines stay
    // queued.
    void flush() noexcept;

    // Hands each line of the day's file to `take`, in file order, after writing what is queued. A
    // line for which `take` throws is damaged: it is reported (once) and the next one follows. A
    // day not written, or not readable, has no lines.
    void readDay(const std::string& date, const std::function<void(const std::string& line)>& take);

    // The days that have a file, newest first.
    std::vector<std::string> daysNewestFirst();

private:
    struct Pending {
        std::string date;
        std::string line;
    };

    void run() noexcept;
    // Expects _writeMutex held; answers false when something could not be written.
    bool writePending();
    void appendLine(const std::string& date, const std::string& line);
    void pruneBefore(const std::string& date) noexcept;
    // Whether a damaged line was already reported; remembers it.
    bool alreadyWarned(const std::string& where);

    Files& _files;
    const std::string _name;
    const int _keepDays;
    const std::size_t _maxPending;
    std::filesystem::path _directory;

    PriorityInheritingMutex _queueMutex; // guards _queue, _stopping; a bell's start queues its line
    std::condition_variable_any _wake;
    std::deque<Pending> _queue;
    bool _stopping = false;

    // One writer at a time, so that the lines land in the order they were recorded. Also guards
    // _prunedFor, _endsChecked and _failing.
    std::mutex _writeMutex;
    std::string _prunedFor;             // the newest day whose old files were deleted
    std::set<std::string> _endsChecked; // day files whose last line this process has made whole
    bool _failing = false;              // whether the last write failed (and was logged)

    std::mutex _warnMutex; // guards _warned
    std::set<std::string> _warned;

    std::thread _thread;
};

} // namespace tollwick
