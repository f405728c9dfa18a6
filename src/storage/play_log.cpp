#include "storage/play_log.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>

#include <spdlog/spdlog.h>

#include "model/date.h"
#include "model/uuid.h"
#include "runtime/errors.h"

namespace tollwick {

namespace {

constexpr const char* EXTENSION = ".jsonl";
constexpr std::size_t MAX_WARNED = 1000;

// The day of a file name "yyyy-mm-dd.jsonl", or nothing for any other name.
std::optional<date::sys_days> dayOfFileName(const std::string& name) {
    if (name.size() != 10 + std::char_traits<char>::length(EXTENSION) || !name.ends_with(EXTENSION))
        return std::nullopt;
    try {
        return date::sys_days{Date::decode(name.substr(0, 10)).toCivil()};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Whether the file ends in the middle of a line: a write cut short by the end of the process or by
// the disk.
bool endsMidLine(Files& files, const std::filesystem::path& path) {
    const FileRead read = files.read(path);
    return read.outcome == FileRead::Outcome::READ && !read.content.empty() && read.content.back() != '\n';
}

} // namespace

PlayLog::~PlayLog() {
    stop();
}

void PlayLog::stop() noexcept {
    {
        std::scoped_lock lock(_queueMutex);
        _stopping = true;
    }
    _wake.notify_all();
    if (_thread.joinable())
        _thread.join();
    flush();
}

void PlayLog::open(std::filesystem::path directory) {
    _directory = std::move(directory);
}

void PlayLog::start() {
    _thread = std::thread([this] { run(); });
}

std::string PlayLog::newEntryId() {
    return newUuid4();
}

void PlayLog::record(const PlayLogEntry& entry) {
    {
        std::scoped_lock lock(_queueMutex);
        _queue.push_back(entry);
        if (_queue.size() > MAX_PENDING)
            _queue.pop_front();
    }
    _wake.notify_one();
}

void PlayLog::run() noexcept {
    for (;;) {
        {
            std::unique_lock lock(_queueMutex);
            _wake.wait(lock, [this] { return _stopping || !_queue.empty(); });
            if (_stopping)
                return; // the destructor writes what is left
        }
        bool written = false;
        {
            std::scoped_lock writing(_writeMutex);
            written = writePending();
        }
        if (!written) {
            // The disk refused: try again a little later rather than at once.
            std::unique_lock lock(_queueMutex);
            _wake.wait_for(lock, std::chrono::seconds(1), [this] { return _stopping; });
        }
    }
}

void PlayLog::flush() noexcept {
    try {
        std::scoped_lock writing(_writeMutex);
        writePending();
    } catch (const std::exception& e) {
        spdlog::error("Could not write the play log: {}", e.what());
    }
}

bool PlayLog::writePending() {
    std::deque<PlayLogEntry> batch;
    {
        std::scoped_lock lock(_queueMutex);
        batch.swap(_queue);
    }
    if (batch.empty())
        return true;
    // Lines grouped by day, each day's in the order they were recorded.
    std::map<std::string, std::string> lines;
    for (const PlayLogEntry& entry : batch)
        lines[entry.dueDate()] += to_json(entry) + "\n";
    std::string failure;
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        try {
            appendLines(it->first, it->second);
        } catch (const std::exception& e) {
            failure = e.what();
            // What was not written goes back before anything recorded meanwhile.
            std::deque<PlayLogEntry> unwritten;
            for (const PlayLogEntry& entry : batch)
                if (entry.dueDate() >= it->first)
                    unwritten.push_back(entry);
            std::scoped_lock lock(_queueMutex);
            _queue.insert(_queue.begin(), unwritten.begin(), unwritten.end());
            while (_queue.size() > MAX_PENDING)
                _queue.pop_front();
            break;
        }
    }
    if (!failure.empty()) {
        // Once for the whole time the disk refuses, not at every try.
        if (!_failing)
            spdlog::error("Could not write the play log: {}", failure);
        _failing = true;
        return false;
    }
    if (_failing)
        spdlog::info("The play log is written again");
    _failing = false;
    const std::string newest = lines.rbegin()->first;
    if (newest > _prunedFor) {
        pruneBefore(newest);
        _prunedFor = newest;
    }
    return true;
}

void PlayLog::appendLines(const std::string& date, const std::string& lines) {
    if (_directory.empty())
        throw Error("the play log has no directory");
    _files.createDirectories(_directory);
    const std::filesystem::path path = _directory / (date + EXTENSION);
    std::string text = lines;
    // A line cut short by the end of an earlier process is closed, so that it damages itself only.
    if (!_endsChecked.contains(date) && endsMidLine(_files, path))
        text.insert(text.begin(), '\n');
    try {
        _files.append(path, text);
    } catch (...) {
        // A disk that filled up may have taken part of a line: the next write closes it first.
        _endsChecked.erase(date);
        throw;
    }
    _endsChecked.insert(date);
}

void PlayLog::pruneBefore(const std::string& newestDate) noexcept {
    try {
        const date::sys_days newest{Date::decode(newestDate).toCivil()};
        for (const DirectoryEntry& file : _files.list(_directory)) {
            const auto day = dayOfFileName(file.path.filename().string());
            if (day && *day < newest - date::days{KEEP_DAYS})
                _files.removeIfPossible(file.path);
        }
    } catch (const std::exception& e) {
        spdlog::warn("Could not delete old play log files: {}", e.what());
    }
}

bool PlayLog::alreadyWarned(const std::string& where) {
    std::scoped_lock lock(_warnMutex);
    if (_warned.size() >= MAX_WARNED)
        _warned.clear();
    return !_warned.insert(where).second;
}

std::vector<PlayLogEntry> PlayLog::read(const std::string& date) {
    flush();
    const std::filesystem::path path = _directory / (date + EXTENSION);
    const FileRead file = _files.read(path); // a day not written, or not readable, has no entries
    std::vector<PlayLogEntry> entries;
    std::map<std::string, std::size_t> indexOf; // entry id to its place in `entries`
    std::string_view rest = file.content;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        const std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty())
            continue;
        try {
            PlayLogEntry entry = from_json<PlayLogEntry>(line);
            if (entry.id.empty() || entry.dueDate() != date)
                throw Error("not an entry of this day");
            const auto [it, added] = indexOf.try_emplace(entry.id, entries.size());
            if (added)
                entries.push_back(std::move(entry));
            else
                entries[it->second] = std::move(entry);
        } catch (const std::exception& e) {
            const std::string where = path.string() + ":" + std::to_string(number);
            if (!alreadyWarned(where))
                spdlog::warn("Skipping damaged line {} of the play log {}: {}", number, path.string(), e.what());
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PlayLogEntry& a, const PlayLogEntry& b) { return a.due < b.due; });
    return entries;
}

} // namespace tollwick
