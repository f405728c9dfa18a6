#include "storage/play_log.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>

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

// Whether the file ends in the middle of a line: a write cut short by the end of the process.
bool endsMidLine(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() <= 0)
        return false;
    in.seekg(-1, std::ios::end);
    char last = '\n';
    in.get(last);
    return last != '\n';
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
        spdlog::error("Could not write the play log: {}", failure);
        return false;
    }
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
    std::filesystem::create_directories(_directory);
    const std::filesystem::path path = _directory / (date + EXTENSION);
    std::string text = lines;
    // A line cut short by the end of an earlier process is closed, so that it damages itself only.
    if (!_endsChecked.contains(date) && endsMidLine(path))
        text.insert(text.begin(), '\n');
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out)
        throw Error("cannot append to " + path.string());
    _endsChecked.insert(date);
}

void PlayLog::pruneBefore(const std::string& newestDate) noexcept {
    try {
        const date::sys_days newest{Date::decode(newestDate).toCivil()};
        std::error_code error;
        for (const auto& file : std::filesystem::directory_iterator(_directory, error)) {
            const auto day = dayOfFileName(file.path().filename().string());
            if (day && *day < newest - date::days{KEEP_DAYS}) {
                std::error_code ignored;
                std::filesystem::remove(file.path(), ignored);
            }
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
    std::ifstream in(path, std::ios::binary);
    std::vector<PlayLogEntry> entries;
    std::map<std::string, std::size_t> indexOf; // entry id to its place in `entries`
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
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
