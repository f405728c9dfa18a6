// Prints how many bytes the service writes into its data directory in one school day, the
// question of an owner whose data directory is on an SD card.
//
// The real system (documents, writer, play log, change log, scheduler, HTTP application) runs over
// a temporary data directory on a fake clock, through a whole school day from 00:00 to 24:00:
// the scheduler's pass is run once for every second of the day, its bells start recording file
// players (nothing sounds), and a secretary's browser logs in, keeps the dashboard open during
// office hours and makes ten changes through the HTTP API.
//
// Two counts, made independently of each other:
// - at the storage seam (Files): every crash-safe document write counts with the whole file it
//   writes, every append to a day file with the bytes appended;
// - on the disk: the data directory is looked at after every simulated second, and every file
//   that is new or replaced (another inode, or not grown) counts with its whole size, every file
//   that grew in place with its growth. This also sees writes that do not go through Files.
// The writer threads are not started: after every simulated second the system writes what its
// writer threads would have written in it (System::saveChangedDocuments), so the count does not
// depend on how fast this machine is.
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include "app/system.h"
#include "model/json.h"
#include "storage/files.h"
#include "support/fake_clock.h"
#include "support/recording_file_player.h"
#include "support/temp_dir.h"

using namespace tollwick;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t BLOCK = 4096; // the page a flash card's file system writes at the least
constexpr int SCHOOL_DAYS_PER_YEAR = 190;

struct Tally {
    std::uint64_t writes = 0;
    std::uint64_t bytes = 0;
    std::uint64_t blocks = 0; // whole 4 KiB blocks that the writes fill or change
};

// The blocks that writing `length` bytes at `offset` of a file touches.
std::uint64_t blocksSpanned(std::uint64_t offset, std::uint64_t length) {
    if (length == 0)
        return 0;
    return (offset + length + BLOCK - 1) / BLOCK - offset / BLOCK;
}

// What a file of the data directory is, by its path relative to the directory.
std::string categoryOf(const fs::path& relative) {
    const std::string first = relative.begin()->string();
    if (first == "playlog")
        return "play log (playlog/*.jsonl)";
    if (first == "changelog")
        return "change log (changelog/*.jsonl)";
    const std::string name = relative.filename().string();
    if (name == "_db.json")
        return "database (_db.json)";
    if (name == "_shadow.json")
        return "password store (_shadow.json)";
    if (name == "cache.json")
        return "cache (cache.json)";
    if (name == "quiet.json")
        return "quiet periods (quiet.json)";
    return "other: " + relative.string();
}

using Tallies = std::map<std::string, Tally>;

// The disk, with every write counted by the file it is for. A document is written to a temporary
// file beside it and renamed over it: the write counts for the document.
class CountingFiles : public Files {
public:
    explicit CountingFiles(fs::path dataDir) : _dataDir(std::move(dataDir)) {}

    void startCounting() {
        std::scoped_lock lock(_mutex);
        _counting = true;
        _tallies.clear();
    }
    Tallies tallies() const {
        std::scoped_lock lock(_mutex);
        return _tallies;
    }

    fs::path writeBeside(const fs::path& target, std::string_view content, bool privateToUser) override {
        fs::path written = _real.writeBeside(target, content, privateToUser);
        count(target, content.size(), blocksSpanned(0, content.size()));
        return written;
    }
    void renameOver(const fs::path& from, const fs::path& target) override { _real.renameOver(from, target); }
    FileRead read(const fs::path& path) override { return _real.read(path); }
    bool remove(const fs::path& path) override { return _real.remove(path); }
    std::unique_ptr<PendingFile> createTemporary(const fs::path& directory, std::string_view prefix) override {
        return std::make_unique<CountedPending>(_real.createTemporary(directory, prefix), *this);
    }
    std::vector<DirectoryEntry> list(const fs::path& directory) override { return _real.list(directory); }
    void append(const fs::path& path, std::string_view bytes) override {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(path, error);
        _real.append(path, bytes);
        count(path, bytes.size(), blocksSpanned(error ? 0 : size, bytes.size()));
    }
    void createDirectories(const fs::path& directory) override { _real.createDirectories(directory); }

private:
    // An upload being written: counted by the file it is for once it is committed.
    class CountedPending : public PendingFile {
    public:
        CountedPending(std::unique_ptr<PendingFile> real, CountingFiles& owner)
            : _pending(std::move(real)), _owner(owner) {}
        void append(std::string_view bytes) override {
            _pending->append(bytes);
            _bytes += bytes.size();
        }
        void commitAs(const fs::path& path) override {
            _pending->commitAs(path);
            _owner.count(path, _bytes, blocksSpanned(0, _bytes));
        }
        const fs::path& path() const noexcept override { return _pending->path(); }

    private:
        std::unique_ptr<PendingFile> _pending;
        CountingFiles& _owner;
        std::uint64_t _bytes = 0;
    };

    void count(const fs::path& path, std::uint64_t bytes, std::uint64_t blocks) {
        std::scoped_lock lock(_mutex);
        if (!_counting)
            return;
        Tally& tally = _tallies[categoryOf(fs::relative(path, _dataDir))];
        ++tally.writes;
        tally.bytes += bytes;
        tally.blocks += blocks;
    }

    Files& _real = systemFiles();
    const fs::path _dataDir;
    mutable std::mutex _mutex; // guards the members below
    bool _counting = false;
    Tallies _tallies;
};

// The data directory as seen from outside, compared with how it looked the last time.
class DiskWatch {
public:
    explicit DiskWatch(fs::path dataDir) : _dataDir(std::move(dataDir)) { _last = look(); }

    void startCounting() {
        _last = look();
        _tallies.clear();
    }
    void step() {
        std::map<fs::path, Seen> now = look();
        for (const auto& [path, seen] : now) {
            const auto before = _last.find(path);
            Tally& tally = _tallies[categoryOf(path)];
            if (before == _last.end()) {
                tally.writes += 1;
                tally.bytes += seen.size;
                tally.blocks += blocksSpanned(0, seen.size);
            } else if (before->second.changed != seen.changed || before->second.inode != seen.inode) {
                tally.writes += 1;
                if (before->second.inode == seen.inode && seen.size > before->second.size) {
                    tally.bytes += seen.size - before->second.size;
                    tally.blocks += blocksSpanned(before->second.size, seen.size - before->second.size);
                } else {
                    tally.bytes += seen.size;
                    tally.blocks += blocksSpanned(0, seen.size);
                }
            }
        }
        _last = std::move(now);
    }
    const Tallies& tallies() const { return _tallies; }
    std::uint64_t totalSize() const {
        std::uint64_t total = 0;
        for (const auto& [path, seen] : _last)
            total += seen.size;
        return total;
    }
    std::size_t fileCount() const { return _last.size(); }
    void printFiles() const {
        for (const auto& [path, seen] : _last)
            std::printf("  %-40s %10ju bytes\n", path.c_str(), static_cast<std::uintmax_t>(seen.size));
    }

private:
    struct Seen {
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t changed = 0; // the status change time, in nanoseconds
    };

    std::map<fs::path, Seen> look() const {
        std::map<fs::path, Seen> seen;
        for (const auto& entry : fs::recursive_directory_iterator(_dataDir)) {
            struct stat st {};
            if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            seen[fs::relative(entry.path(), _dataDir)] =
                Seen{static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
        }
        return seen;
    }

    const fs::path _dataDir;
    std::map<fs::path, Seen> _last;
    Tallies _tallies;
};

// The process log, which goes to standard error and so, for a service, to the system's journal:
// counted by its lines and bytes, and not shown.
class CountingSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    void startCounting() {
        std::scoped_lock lock(mutex_);
        _tally = Tally{};
    }
    Tally tally() {
        std::scoped_lock lock(mutex_);
        return _tally;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(msg, formatted);
        ++_tally.writes;
        _tally.bytes += formatted.size();
    }
    void flush_() override {}

private:
    Tally _tally;
};

// The secretary's browser: keeps its session cookie.
class Browser {
public:
    explicit Browser(int port) : _client("127.0.0.1", port) { _client.set_read_timeout(std::chrono::seconds(20)); }

    int get(const std::string& path) { return answer(_client.Get(path, headers())); }
    int post(const std::string& path, const std::string& body) {
        return answer(_client.Post(path, headers(), body, "application/json"));
    }
    const std::string& lastBody() const { return _lastBody; }

private:
    httplib::Headers headers() const {
        return _cookie.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", "session=" + _cookie}};
    }
    int answer(const httplib::Result& result) {
        if (!result)
            return -1;
        if (result->has_header("Set-Cookie")) {
            const std::string set = result->get_header_value("Set-Cookie");
            if (set.starts_with("session="))
                _cookie = set.substr(8, set.find(';') - 8);
        }
        _lastBody = result->body;
        return result->status;
    }
    httplib::Client _client;
    std::string _cookie;
    std::string _lastBody;
};

// "HH:MM - HH:MM" lessons of `minutes` each, from 08:00, with the breaks between them.
Json lessons(int minutes, const std::vector<int>& breaks) {
    Json list = Json::array();
    int start = 8 * 60;
    for (std::size_t i = 0; i <= breaks.size(); ++i) {
        const int end = start + minutes;
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d - %02d:%02d", start / 60, start % 60, end / 60, end % 60);
        list.push_back(text);
        if (i < breaks.size())
            start = end + breaks[i];
    }
    return list;
}

// One bell channel: a melody at each lesson's start and end, a ping two minutes before each start,
// nothing before an end; the second channel has no lessons.
Json timetable(const std::string& name, const Json& lessonList) {
    const Json none = Json{{"id", "NULL"}, {"doRepeat", false}, {"iterations", 2}, {"delaySec", 1.0}};
    const Json melody = Json{{"id", "ID_melody"}, {"doRepeat", false}, {"iterations", 2}, {"delaySec", 1.0}};
    const Json ping = Json{{"id", "ID_ping"}, {"doRepeat", false}, {"iterations", 2}, {"delaySec", 1.0}};
    return Json{{"name", name},
                {"chA",
                 {{"lessons", lessonList},
                  {"startOfClass", melody},
                  {"endOfClass", melody},
                  {"preStartWaitMin", 2},
                  {"preStart", ping},
                  {"preEndWaitMin", 5},
                  {"preEnd", none}}},
                {"chB", {{"lessons", Json::array()}}},
                {"customPlays", Json::array()}};
}

// The day's lessons: 8 of 45 minutes from 08:00, breaks of 10 minutes and a long one of 20 after
// the third; 08:00 to 15:20.
const std::vector<int> BREAKS{10, 10, 20, 10, 10, 10, 10};

void require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "day_writes: %s\n", what.c_str());
        std::exit(1);
    }
}

std::string kib(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1024.0);
    return text;
}

std::string mib(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// One row a file: the seam's figures, or the disk's (marked "*") for a file written past the seam;
// the disk's bytes beside them for comparison.
void printTable(const Tallies& seam, const Tallies& disk) {
    std::printf("  %-32s %7s %9s %8s %7s %12s\n", "file", "writes", "bytes", "KiB", "blocks", "seen on disk");
    std::map<std::string, bool> names;
    for (const auto& [name, tally] : seam)
        names[name] = true;
    for (const auto& [name, tally] : disk)
        names[name] = true;
    Tally total;
    std::uint64_t totalOnDisk = 0;
    bool pastTheSeam = false;
    for (const auto& [name, ignored] : names) {
        const auto bySeam = seam.find(name);
        const auto byDisk = disk.find(name);
        const Tally onDisk = byDisk == disk.end() ? Tally{} : byDisk->second;
        const bool seen = bySeam != seam.end() && bySeam->second.writes > 0;
        const Tally tally = seen ? bySeam->second : onDisk;
        if (tally.writes == 0 && onDisk.writes == 0)
            continue;
        pastTheSeam = pastTheSeam || !seen;
        const char* mark = seen ? " " : "*";
        std::printf("  %-32s %6ju%s %9ju %8s %6ju%s %12ju\n", name.c_str(), static_cast<std::uintmax_t>(tally.writes),
                    mark, static_cast<std::uintmax_t>(tally.bytes), kib(tally.bytes).c_str(),
                    static_cast<std::uintmax_t>(tally.blocks), mark, static_cast<std::uintmax_t>(onDisk.bytes));
        total.writes += tally.writes;
        total.bytes += tally.bytes;
        total.blocks += tally.blocks;
        totalOnDisk += onDisk.bytes;
    }
    std::printf("  %-32s %6ju  %9ju %8s %6ju  %12ju\n", "total per school day",
                static_cast<std::uintmax_t>(total.writes), static_cast<std::uintmax_t>(total.bytes),
                kib(total.bytes).c_str(), static_cast<std::uintmax_t>(total.blocks),
                static_cast<std::uintmax_t>(totalOnDisk));
    const std::uint64_t days = SCHOOL_DAYS_PER_YEAR;
    std::printf("  %-32s %6ju  %9ju %8s %6ju  %12ju\n", "per year of 190 school days",
                static_cast<std::uintmax_t>(total.writes * days), static_cast<std::uintmax_t>(total.bytes * days),
                kib(total.bytes * days).c_str(), static_cast<std::uintmax_t>(total.blocks * days),
                static_cast<std::uintmax_t>(totalOnDisk * days));
    std::printf("  that is %s MiB a year of content, %s MiB in whole 4 KiB blocks\n", mib(total.bytes * days).c_str(),
                mib(total.blocks * BLOCK * days).c_str());
    if (pastTheSeam)
        std::printf("  * written past the storage seam: the disk's figures\n");
}

} // namespace

int main() {
    const auto began = std::chrono::steady_clock::now();
    auto sink = std::make_shared<CountingSink>();
    sink->set_pattern("%v");
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("tollwick", sink));
    spdlog::set_level(spdlog::level::info);

    test::TempDir data;
    ::setenv("TOLLWICK_DATA_DIR", data.path().c_str(), 1);
    // The day before the school day (Wednesday 14 October 2026), in the afternoon: set-up.
    test::FakeTime time{2026, 10, 13, 16, 0, 0};
    auto recorder = test::PlayRecorder::create();
    recorder->setPlayTime(std::chrono::milliseconds(5));
    CountingFiles files(data.path());

    SystemSeams seams;
    seams.clock = time.source();
    seams.players = recorder->factory();
    seams.serviceUrl = "http://127.0.0.1:9"; // never asked: phone-home is left out
    seams.phoneHome = [] {};
    seams.files = &files;
    seams.clockState = [] { return KernelClockState{true, 4}; };
    seams.freeBytes = [](const std::string&) { return std::optional<std::uint64_t>(std::uint64_t(1) << 34); };
    System system(seams);
    system.loadDocuments();
    system.http().setSessionKey(system.sessionKey());
    const int port = system.http().bind("127.0.0.1", 0);
    require(port > 0, "cannot bind to 127.0.0.1");
    std::thread serving([&] { system.http().serve(); });
    while (!system.http().isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Scheduler& scheduler = system.scheduler();

    // Set-up, not counted: the password, the school's timetable and name.
    {
        Browser admin(port);
        require(admin.post("/auth/chpasswd", Json("secret").dump()) == 200, "cannot set the password");
        require(admin.post("/db/timetables/update/ID_factory_default_timetable",
                           timetable("Ordinary day", lessons(45, BREAKS)).dump()) == 200,
                "cannot set the timetable");
        require(admin.post("/db/settings/update", R"({"schoolName": "Tollwick Secondary School"})") == 200,
                "cannot set the school's name");
        admin.get("/auth/logout");
        system.saveChangedDocuments();
    }
    // Late in the evening before: the scheduler's first passes, so that it knows the time.
    time.set(2026, 10, 13, 23, 59, 50);
    for (int i = 0; i < 10; ++i) {
        scheduler.pass();
        time.advance(1);
    }
    system.saveChangedDocuments();

    DiskWatch disk(data.path());
    files.startCounting();
    disk.startCounting();
    sink->startCounting();

    // The secretary's day: what she does, by the second of the day it happens in.
    Browser secretary(port);
    std::string shortDayId;
    int changesMade = 0;
    int refused = 0;
    const auto at = [](int h, int m) { return h * 3600 + m * 60; };
    const auto change = [&](int status) { status == 200 ? ++changesMade : ++refused; };
    std::map<int, std::function<void()>> actions{
        {at(7, 25),
         [&] {
             require(secretary.post("/auth/login", R"({"userPassword": "secret", "remember": true})") == 302,
                     "cannot log in");
         }},
        // 1: the seventh lesson starts and ends 5 minutes later.
        {at(7, 31),
         [&] {
             Json ordinary = timetable("Ordinary day", lessons(45, {10, 10, 20, 10, 10, 15, 5}));
             change(secretary.post("/db/timetables/update/ID_factory_default_timetable", ordinary.dump()));
         }},
        // 2: a day without bells later in the month.
        {at(7, 42),
         [&] {
             change(secretary.get("/api/trigger/addSingleEvent/x?timetableId=NULL&startDate=2026-10-23"
                                  "&endDate=2026-10-23&name=Staff%20training"));
         }},
        // 3: a timetable of short lessons.
        {at(8, 50),
         [&] {
             change(secretary.post("/db/timetables/create", timetable("Short day", lessons(30, BREAKS)).dump()));
             shortDayId = Json::parse(secretary.lastBody()).get<std::string>();
         }},
        // 4: for Friday's sports day.
        {at(8, 53),
         [&] {
             change(secretary.get("/api/trigger/addSingleEvent/x?timetableId=" + shortDayId +
                                  "&startDate=2026-10-16&endDate=2026-10-16&name=Sports%20day"));
         }},
        // A bell rung by hand (not a change).
        {at(9, 58), [&] { secretary.get("/api/trigger/playSignal/ID_ping"); }},
        // 5: the next bell stays silent.
        {at(10, 5), [&] { change(secretary.get("/api/trigger/skipNextBell/today")); }},
        // 6: no bells during an exam in the hall.
        {at(10, 40), [&] { change(secretary.get("/api/trigger/muteBells/today?from=11:45&to=12:40")); }},
        // 7: a setting.
        {at(11, 20), [&] { change(secretary.post("/db/settings/update", R"({"alarmDelaySec": 2})")); }},
        // 8: the short timetable renamed.
        {at(12, 10),
         [&] {
             change(secretary.post("/db/timetables/update/" + shortDayId,
                                   timetable("Short day (sports)", lessons(30, BREAKS)).dump()));
         }},
        // 9: a quiet hour next week.
        {at(13, 15),
         [&] {
             change(secretary.get("/api/trigger/planQuiet/0?date=2026-10-21&from=09:00&to=10:00"
                                  "&name=Exam&holdProgrammes=true"));
         }},
        // 10: the staff training entry, made by mistake, deleted again.
        {at(14, 40), [&] { change(secretary.get("/api/trigger/deleteSingleEvent/1")); }},
        {at(15, 30), [&] { secretary.get("/auth/logout"); }},
    };
    // The open dashboard asks every second; a request every 10 s keeps the session in use the same.
    const int dashboardFrom = at(7, 25) + 5;
    const int dashboardTo = at(15, 30) - 5;
    int requests = 0;

    std::size_t starts = 0;
    for (int second = 0; second < 24 * 3600; ++second) {
        scheduler.pass();
        if (const auto action = actions.find(second); action != actions.end()) {
            action->second();
            ++requests;
        } else if (second >= dashboardFrom && second <= dashboardTo && second % 10 == 0) {
            require(secretary.get("/api/get/status") == 200, "the dashboard's request was refused");
            ++requests;
        }
        // Every bell started ends before the clock moves on: a bell is much shorter than a break.
        if (recorder->started().size() != starts) {
            starts = recorder->started().size();
            require(recorder->waitForCloses(starts), "a bell did not end");
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (system.player().isPlaying() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        system.saveChangedDocuments();
        disk.step();
        time.advance(1);
    }
    // The clock shows the next midnight now, whose day reset belongs to the next day: no pass.
    system.stop();
    serving.join();
    disk.step();
    const Tally log = sink->tally();
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("none"));

    std::printf("Bytes written into the data directory in one school day\n");
    std::printf("Day: Wednesday 2026-10-14, 00:00 to 24:00 on a fake clock, the real system over a temporary\n"
                "data directory; bells through recording players (nothing sounds), no vendor service.\n");
    std::printf("Timetable: 8 lessons of 45 min, 08:00 to 15:20, a melody at each start and end, a ping 2 min\n"
                "before each start: %zu plays started (the bells, less those kept quiet, and 1 by hand).\n",
                starts);
    std::printf("Secretary: logs in at 07:25, dashboard open until 15:30 (a request every 10 s), %d changes\n"
                "through the HTTP API (%d refused), 1 bell by hand; %d requests in all.\n",
                changesMade, refused, requests);
    std::printf("\nBytes written per file; what is counted:\n"
                "  writes, bytes: at the storage seam (Files), each crash-safe document write with the whole\n"
                "    file it writes, each append to a day file with the bytes appended;\n"
                "  blocks: the 4 KiB blocks each write fills or changes (an append rewrites the block it ends\n"
                "    in); a flash card writes at least that much;\n"
                "  seen on disk: the data directory looked at after every simulated second, a new or replaced\n"
                "    file counted with its whole size, a file grown in place with its growth.\n");
    printTable(files.tallies(), disk.tallies());
    std::printf("  %-32s %6ju  %9ju %8s   (lines to stderr; per year %s KiB)\n", "not in the data dir: process log",
                static_cast<std::uintmax_t>(log.writes), static_cast<std::uintmax_t>(log.bytes), kib(log.bytes).c_str(),
                kib(log.bytes * SCHOOL_DAYS_PER_YEAR).c_str());
    std::printf("\nThe data directory at the end: %zu files, %ju bytes.\n", disk.fileCount(),
                static_cast<std::uintmax_t>(disk.totalSize()));
    disk.printFiles();
    // The day's own files were new this morning: what was appended to them is all they hold.
    const Tallies bySeam = files.tallies();
    for (const auto& [name, file] : std::vector<std::pair<std::string, std::string>>{
             {"play log (playlog/*.jsonl)", "playlog/2026-10-14.jsonl"},
             {"change log (changelog/*.jsonl)", "changelog/2026-10-14.jsonl"}}) {
        const auto counted = bySeam.find(name);
        std::error_code error;
        const std::uintmax_t size = fs::file_size(data.path() / file, error);
        std::printf("Check: %s holds %ju bytes, %ju were counted as appended to it.\n", file.c_str(),
                    static_cast<std::uintmax_t>(error ? 0 : size),
                    static_cast<std::uintmax_t>(counted == bySeam.end() ? 0 : counted->second.bytes));
    }
    std::printf("The password store is written when a session starts or ends, and every 5 min while a\n"
                "logged-in browser keeps asking (the session's last use); with no browser open it is not.\n");
    std::printf("Not counted: the file system's own metadata and journal, the sound files (none are uploaded\n"
                "here), the vendor service's calendar check (a cache.json write about every 30 hours).\n");
    std::printf("Run time: %.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    return 0;
}
