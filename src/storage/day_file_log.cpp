#include "storage/day_file_log.h"

#include <algorithm>
#include <map>
#include <optional>

#include <spdlog/spdlog.h>

#include "model/date.h"
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

DayFileLog::~DayFileLog() {
    stop();
}

void DayFileLog::stop() noexcept {
    {
        std::scoped_lock lock(_queueMutex);
        _stopping = true;
    }
    _wake.notify_all();
    if (_thread.joinable())
        _thread.join();
    flush();
}

void DayFileLog::open(std::filesystem::path directory) {
    _directory = std::move(directory);
}

void DayFileLog::start() {
    _thread = std::thread([this] { run(); });
}

void DayFileLog::record(std::string date, std::string line) {
    {
        std::scoped_lock lock(_queueMutex);
        _queue.push_back({std::move(date), std::move(line)});
        if (_queue.size() > _maxPending)
            _queue.pop_front();
    }
    _wake.notify_one();
}

void DayFileLog::run() noexcept {
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

void DayFileLog::flush() noexcept {
    try {
        std::scoped_lock writing(_writeMutex);
        writePending();
    } catch (const std::exception& e) {
        spdlog::error("Could not write the {}: {}", _name, e.what());
    }
}

bool DayFileLog::writePending() {
    std::deque<Pending> batch;
    {
        std::scoped_lock lock(_queueMutex);
        batch.swap(_queue);
    }
    if (batch.empty())
        return true;
    // The lines by day, each day's in the order they were recorded. Each line is appended by
    // itself: a disk that fails in the middle of a write leaves the lines before it whole, and
    // only the rest is written again, so that no line is written twice.
    std::map<std::string, std::vector<std::size_t>> days;
    for (std::size_t i = 0; i < batch.size(); ++i)
        days[batch[i].date].push_back(i);
    std::vector<bool> written(batch.size(), false);
    std::string failure;
    for (const auto& [date, lines] : days) {
        for (const std::size_t i : lines) {
            try {
                appendLine(date, batch[i].line);
                written[i] = true;
            } catch (const std::exception& e) {
                failure = e.what();
                break;
            }
        }
        if (!failure.empty())
            break;
    }
    if (!failure.empty()) {
        // What was not written goes back before anything recorded meanwhile.
        std::deque<Pending> unwritten;
        for (std::size_t i = 0; i < batch.size(); ++i)
            if (!written[i])
                unwritten.push_back(std::move(batch[i]));
        std::scoped_lock lock(_queueMutex);
        _queue.insert(_queue.begin(), std::make_move_iterator(unwritten.begin()),
                      std::make_move_iterator(unwritten.end()));
        while (_queue.size() > _maxPending)
            _queue.pop_front();
        // Once for the whole time the disk refuses, not at every try.
        if (!_failing)
            spdlog::error("Could not write the {}: {}", _name, failure);
        _failing = true;
        return false;
    }
    if (_failing)
        spdlog::info("The {} is written again", _name);
    _failing = false;
    const std::string newest = days.rbegin()->first;
    if (newest > _prunedFor) {
        pruneBefore(newest);
        _prunedFor = newest;
    }
    return true;
}

void DayFileLog::appendLine(const std::string& date, const std::string& line) {
    if (_directory.empty())
        throw Error("the " + _name + " has no directory");
    _files.createDirectories(_directory);
    const std::filesystem::path path = _directory / (date + EXTENSION);
    std::string text = line + "\n";
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

void DayFileLog::pruneBefore(const std::string& newestDate) noexcept {
    try {
        const date::sys_days newest{Date::decode(newestDate).toCivil()};
        for (const DirectoryEntry& file : _files.list(_directory)) {
            const auto day = dayOfFileName(file.path.filename().string());
            if (day && *day < newest - date::days{_keepDays})
                _files.removeIfPossible(file.path);
        }
    } catch (const std::exception& e) {
        spdlog::warn("Could not delete old {} files: {}", _name, e.what());
    }
}

bool DayFileLog::alreadyWarned(const std::string& where) {
    std::scoped_lock lock(_warnMutex);
    if (_warned.size() >= MAX_WARNED)
        _warned.clear();
    return !_warned.insert(where).second;
}

void DayFileLog::readDay(const std::string& date, const std::function<void(const std::string& line)>& take) {
    flush();
    const std::filesystem::path path = _directory / (date + EXTENSION);
    const FileRead file = _files.read(path);
    std::string_view rest = file.content;
    for (std::size_t number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        const std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty())
            continue;
        try {
            take(line);
        } catch (const std::exception& e) {
            const std::string where = path.string() + ":" + std::to_string(number);
            if (!alreadyWarned(where))
                spdlog::warn("Skipping damaged line {} of the {} {}: {}", number, _name, path.string(), e.what());
        }
    }
}

std::vector<std::string> DayFileLog::daysNewestFirst() {
    std::vector<std::string> days;
    try {
        for (const DirectoryEntry& file : _files.list(_directory)) {
            const std::string name = file.path.filename().string();
            if (file.isRegularFile && dayOfFileName(name))
                days.push_back(name.substr(0, 10));
        }
    } catch (const std::exception& e) {
        spdlog::warn("Could not list the {} files: {}", _name, e.what());
    }
    std::sort(days.rbegin(), days.rend());
    return days;
}

} // namespace tollwick
