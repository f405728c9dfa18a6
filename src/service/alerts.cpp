#include "service/alerts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <tuple>
#include <utility>

#include <spdlog/spdlog.h>

#include "model/json.h"
#include "model/local_time.h"
#include "runtime/errors.h"
#include "runtime/process_end.h"
#include "runtime/thread_name.h"
#include "service/alert_texts.h"
#include "service/service_url.h"

namespace tollwick {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Where an alert goes: the origin to connect to, and the path with its query.
struct AlertAddress {
    ServiceAddress address;
    std::string target;
};

// Throws InvalidValueError when `url` is not an http:// or https:// address.
AlertAddress splitAlertUrl(const std::string& url) {
    const std::string whole = url.substr(0, url.find('#'));
    const std::size_t query = whole.find('?');
    AlertAddress out{splitServiceBaseUrl(whole.substr(0, query)), ""};
    out.target = out.address.pathPrefix.empty() ? "/" : out.address.pathPrefix;
    if (query != std::string::npos)
        out.target += whole.substr(query);
    return out;
}

// One attempt; answers what went wrong, nothing when the target answered 2xx.
struct AttemptFailure {
    std::optional<int> status; // the target's answer, none when it gave none
    std::string reason;        // why there was no answer
};

std::optional<AttemptFailure> attempt(const AlertAddress& to, const HttpPostContent& content,
                                      std::chrono::milliseconds limit) noexcept {
    try {
        const HttpAnswer answer = httpPost(to.address, to.target, content, HttpLimits{limit, limit});
        if (answer.status >= 200 && answer.status < 300)
            return std::nullopt;
        return AttemptFailure{answer.status, ""};
    } catch (const HttpFailure& e) {
        return AttemptFailure{std::nullopt, e.reason};
    } catch (const std::exception& e) {
        return AttemptFailure{std::nullopt, e.what()};
    }
}

std::string describe(const AttemptFailure& failure) {
    return failure.status ? "it answered " + std::to_string(*failure.status) : failure.reason;
}

std::string base64(std::string_view bytes) {
    static constexpr char DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t block = 0;
        for (std::size_t k = 0; k < 3; ++k)
            block = block << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? DIGITS[(block >> (18 - 6 * k)) & 0x3f] : '=';
    }
    return out;
}

// A header value as is when it is plain ASCII, otherwise as one RFC 2047 encoded word.
std::string headerText(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20)
            return "=?UTF-8?B?" + base64(text) + "?=";
    return text;
}

// "2024-09-02T08:00:00+02:00": the local time of `at` with its offset from UTC.
std::string localIsoTime(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    const std::tm local = localTm(t);
    const auto day =
        std::chrono::sys_days(std::chrono::year(local.tm_year + 1900) / static_cast<unsigned>(local.tm_mon + 1) /
                              static_cast<unsigned>(local.tm_mday));
    const long long wall = std::chrono::duration_cast<std::chrono::seconds>(day.time_since_epoch()).count() +
                           local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    const long long offsetMinutes = (wall - static_cast<long long>(t)) / 60;
    const long long offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

constexpr std::array<std::string_view, Metrics::DOCUMENT_NAMES.size()> DOCUMENT_FILES{"_db.json", "_shadow.json",
                                                                                      "cache.json"};

} // namespace

HttpPostContent alertContent(AlertKind kind, const Alert& alert, const std::string& school, const std::string& language,
                             int repeats, std::chrono::system_clock::time_point at) {
    const AlertWords words = alertWords(alert, language, school, repeats);
    if (kind == AlertKind::NTFY) {
        const std::string title = school.empty() ? words.title : school + ": " + words.title;
        return HttpPostContent{"text/plain; charset=utf-8", words.text, {{"Title", headerText(title)}}};
    }
    nlohmann::ordered_json body{
        {"text", words.text}, {"event", alert.event}, {"school", school}, {"time", localIsoTime(at)}};
    if (repeats > 0)
        body["count"] = repeats;
    return HttpPostContent{"application/json", body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), {}};
}

// One target's queue and the thread that sends it, with the retries.
class Alerts::Target {
public:
    Target(const std::string& url, const AlertTimings& timings) : _url(url), _timings(timings) {
        _thread = threadWithoutTerminationSignals([this] { run(); });
    }
    ~Target() { stop(); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    void push(HttpPostContent content) {
        std::scoped_lock lock(_mutex);
        if (_queue.size() >= QUEUE_LIMIT) {
            _queue.pop_front();
            if (!_dropping)
                spdlog::warn("Alerts for {} wait longer than it takes them: the oldest are dropped", origin());
            _dropping = true;
        }
        _queue.push_back(std::move(content));
        _wake.notify_one();
    }

    void stop() noexcept {
        {
            std::scoped_lock lock(_mutex);
            _stopping = true;
        }
        _wake.notify_one();
        if (_thread.joinable())
            _thread.join();
    }

private:
    // The origin only: a webhook's or topic's path and query carry its secret.
    std::string origin() const {
        try {
            return splitAlertUrl(_url).address.origin;
        } catch (const std::exception&) {
            return "an address that is not valid";
        }
    }

    void run() noexcept {
        nameThisThread("Alerts out");
        for (;;) {
            HttpPostContent content;
            {
                std::unique_lock lock(_mutex);
                _wake.wait(lock, [this] { return _stopping || !_queue.empty(); });
                if (_stopping)
                    return;
                content = std::move(_queue.front());
                _queue.pop_front();
                if (_queue.empty())
                    _dropping = false;
            }
            try {
                send(content);
            } catch (const std::exception& e) {
                spdlog::error("Alert sender error: {}", e.what());
            }
        }
    }

    void send(const HttpPostContent& content) {
        const AlertAddress to = splitAlertUrl(_url);
        for (std::size_t tries = 0;; ++tries) {
            const std::optional<AttemptFailure> failure = attempt(to, content, _timings.attempt);
            if (!failure)
                return;
            if (tries == _timings.retryPauses.size()) {
                spdlog::warn("An alert could not be sent to {} after {} attempts: {}", to.address.origin, tries + 1,
                             describe(*failure));
                return;
            }
            std::unique_lock lock(_mutex);
            if (_wake.wait_for(lock, _timings.retryPauses[tries], [this] { return _stopping; }))
                return;
        }
    }

    const std::string _url;
    const AlertTimings& _timings; // the sender's, which outlives every target
    std::mutex _mutex;            // guards _queue, _dropping and _stopping
    std::condition_variable _wake;
    std::deque<HttpPostContent> _queue;
    bool _dropping = false;
    bool _stopping = false;
    std::thread _thread;
};

Alerts::Alerts(Documents& docs, AlertChecks checks, AlertTimings timings)
    : _docs(docs), _checks(std::move(checks)), _timings(std::move(timings)) {}

Alerts::~Alerts() {
    stop();
}

void Alerts::raise(Alert alert) noexcept {
    try {
        std::scoped_lock lock(_mutex);
        if (_queue.size() >= QUEUE_LIMIT) {
            _queue.pop_front();
            if (!_dropping)
                spdlog::warn("Alerts are raised faster than they can be sent: the oldest are dropped");
            _dropping = true;
        }
        _queue.push_back(Raised{std::move(alert), std::chrono::system_clock::now()});
    } catch (...) {
        return; // out of memory for one alert: what raised it goes on
    }
    _wake.notify_one();
}

void Alerts::start() {
    _thread = threadWithoutTerminationSignals([this] { run(); });
}

void Alerts::stop() noexcept {
    {
        std::scoped_lock lock(_mutex);
        _stopping = true;
    }
    _wake.notify_one();
    if (_thread.joinable())
        _thread.join();
    _targets.clear(); // each target's destructor waits for its thread
}

void Alerts::run() {
    nameThisThread("Alerts");
    SteadyClock::time_point nextCheck = SteadyClock::now();
    for (;;) {
        std::deque<Raised> raised;
        {
            std::unique_lock lock(_mutex);
            SteadyClock::time_point wakeAt = nextCheck;
            for (const auto& [key, group] : _groups)
                wakeAt = std::min(wakeAt, group.windowEnd);
            _wake.wait_until(lock, wakeAt, [this] { return _stopping || !_queue.empty(); });
            if (_stopping)
                return;
            raised.swap(_queue);
            _dropping = false;
        }
        try {
            const SteadyClock::time_point now = SteadyClock::now();
            if (now >= nextCheck) {
                check(now, raised);
                nextCheck = now + _timings.checkPeriod;
            }
            std::vector<Outgoing> due;
            for (auto it = _groups.begin(); it != _groups.end();) {
                Group& group = it->second;
                if (group.windowEnd > now) {
                    ++it;
                } else if (group.repeats > 0) {
                    due.push_back(Outgoing{std::move(*group.latest), group.repeats});
                    group = Group{now + _timings.groupWindow, 0, std::nullopt};
                    ++it;
                } else {
                    it = _groups.erase(it);
                }
            }
            for (Raised& r : raised) {
                const std::string key = r.alert.event + '\n' + r.alert.subject;
                if (const auto group = _groups.find(key); group != _groups.end()) {
                    ++group->second.repeats;
                    group->second.latest = std::move(r);
                } else {
                    _groups.emplace(key, Group{now + _timings.groupWindow, 0, std::nullopt});
                    due.push_back(Outgoing{std::move(r), 0});
                }
            }
            if (!due.empty())
                dispatch(due);
        } catch (const std::exception& e) {
            spdlog::error("Alert sender error: {}", e.what());
        }
    }
}

void Alerts::check(SteadyClock::time_point now, std::deque<Raised>& raised) {
    const auto at = std::chrono::system_clock::now();
    auto add = [&](std::string event, std::string message, std::vector<std::string> values, std::string subject) {
        raised.push_back(
            Raised{Alert{std::move(event), std::move(message), std::move(values), std::move(subject)}, at});
    };
    if (_checks.clockState) {
        const KernelClockState clock = _checks.clockState();
        if (clock.synchronised == false) {
            if (!_unsynchronisedSince)
                _unsynchronisedSince = now;
        } else {
            _unsynchronisedSince.reset();
        }
        const bool longUnsynchronised = _unsynchronisedSince && now - *_unsynchronisedSince > _timings.clockGrace;
        // An unsynchronised kernel's estimate grows to many seconds at once: it counts only while
        // the clock is kept synchronised, or the grace above would never hold.
        const bool farOff = clock.synchronised != false && clock.maxErrorMs && *clock.maxErrorMs > CLOCK_ERROR_LIMIT_MS;
        if (!_clockAlerted && longUnsynchronised) {
            add("clock", "clockUnsynchronised",
                {std::to_string(std::chrono::duration_cast<std::chrono::minutes>(_timings.clockGrace).count())}, "bad");
            _clockAlerted = true;
        } else if (!_clockAlerted && farOff) {
            add("clock", "clockFarOff", {std::to_string((*clock.maxErrorMs + 999) / 1000)}, "bad");
            _clockAlerted = true;
        } else if (_clockAlerted && !_unsynchronisedSince && !farOff) {
            add("clock", "clockWell", {}, "well");
            _clockAlerted = false;
        }
    }
    if (_checks.metrics) {
        const Metrics::Snapshot figures = _checks.metrics->snapshot();
        for (std::size_t d = 0; d < DOCUMENT_FILES.size(); ++d) {
            if (figures.saves[d].lastFailed && !_saveAlerted[d]) {
                add("saveFailed", "saveFailed",
                    {(std::filesystem::path(_checks.dataDirectory) / DOCUMENT_FILES[d]).string()},
                    std::string(DOCUMENT_FILES[d]));
            }
            _saveAlerted[d] = figures.saves[d].lastFailed;
        }
    }
    if (_checks.freeBytes) {
        if (const std::optional<std::uint64_t> free = _checks.freeBytes(_checks.dataDirectory)) {
            if (!_diskAlerted && *free < DISK_LOW_BYTES) {
                add("diskLow", "diskLow", {std::to_string(*free / (1024 * 1024)), _checks.dataDirectory}, "");
                _diskAlerted = true;
            } else if (_diskAlerted && *free >= DISK_WELL_BYTES) {
                _diskAlerted = false;
            }
        }
    }
}

// What the alerts read of the settings, copied under the document mutex and let go at once.
std::tuple<std::vector<AlertTarget>, std::string, std::string> Alerts::alertSettings() const {
    std::scoped_lock lock(_docs.mutex);
    const Settings& settings = std::as_const(_docs).db->settings;
    return {settings.alertTargets, settings.schoolName, settings.language};
}

void Alerts::dispatch(const std::vector<Outgoing>& due) {
    const auto [targets, school, language] = alertSettings();
    for (const AlertTarget& target : targets) {
        const std::string key = std::string(enumText(target.kind)) + ' ' + target.url;
        for (const Outgoing& out : due) {
            if (std::find(target.events.begin(), target.events.end(), out.raised.alert.event) == target.events.end())
                continue;
            auto& sender = _targets[key];
            if (!sender)
                sender = std::make_unique<Target>(target.url, _timings);
            sender->push(alertContent(target.kind, out.raised.alert, school, language, out.repeats, out.raised.at));
        }
    }
}

void Alerts::sendTest(AlertKind kind, const std::string& url) {
    const auto [targets, school, language] = alertSettings();
    const AlertAddress to = splitAlertUrl(url);
    const HttpPostContent content =
        alertContent(kind, Alert{"test", "test", {}, ""}, school, language, 0, std::chrono::system_clock::now());
    if (const std::optional<AttemptFailure> failure = attempt(to, content, _timings.attempt))
        throw Error(failure->status ? "The alert target answered " + std::to_string(*failure->status)
                                    : "The alert target did not answer: " + failure->reason);
}

} // namespace tollwick
