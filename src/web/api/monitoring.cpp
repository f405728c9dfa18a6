// The answers for a school's monitoring: /metrics in Prometheus' text format (version 0.0.4) and
// /healthz for a check tool. Both read the figures the system keeps as things happen; the metrics
// take the document mutex only for a setting and the next bell, the health check not at all.
#include "web/api/handlers.h"

#include <chrono>
#include <cmath>
#include <sstream>
#include <utility>

#include "model/metrics.h"
#include "runtime/paths.h"
#include "runtime/process_stats.h"
#include "scheduling/clock_health.h"
#include "scheduling/day_bells.h"
#include "web/api/target_api.h"

namespace tollwick::web {

namespace {

constexpr const char* METRICS_TYPE = "text/plain; version=0.0.4; charset=utf-8";
constexpr std::uint64_t MiB = 1024 * 1024;
// The scheduler passes ten times a second: three seconds without a pass is a stalled loop.
constexpr std::chrono::seconds PASS_LIMIT{3};
constexpr std::uint64_t FREE_BYTES_NEEDED = 50 * MiB;

// What both answers are made of, read once per request.
struct Figures {
    Metrics::Snapshot counted;
    bool bellsOn = true;
    bool alarmActive = false;
    bool quietNow = false;
    std::optional<long long> nextBellInSeconds;
    KernelClockState clock;
    std::optional<std::uint64_t> freeBytes;
    ProcessStats process;
    std::optional<double> secondsSincePass;
    std::string schoolName;
};

// The figures that need neither the documents nor their mutex: all that the health check reads,
// so that it answers while a stuck thread holds the mutex.
Figures gatherWithoutDocuments(WebContext& ctx) {
    Figures f;
    if (ctx.day.metrics) {
        f.counted = ctx.day.metrics->snapshot();
        if (f.counted.lastPassNanoseconds != 0) {
            const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
            f.secondsSincePass = static_cast<double>(now - f.counted.lastPassNanoseconds) / 1e9;
        }
    }
    f.clock = ctx.day.clockState();
    f.freeBytes = ctx.day.freeBytes(ctx.day.paths.userData);
    return f;
}

Figures gather(WebContext& ctx) {
    Figures f = gatherWithoutDocuments(ctx);
    const ClockReading now = ctx.clock.getClock();
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const Documents& docs = ctx.docs;
        f.bellsOn = docs.db->settings.schedulerEnable;
        f.schoolName = docs.db->settings.schoolName;
        if (const std::optional<DayBell> next = nextBell(*docs.db, *docs.cache, ctx.day.quiet, now))
            f.nextBellInSeconds = next->at.toSecondsOfDay() - TimeOfDay::fromTimeStruct(now).toSecondsOfDay();
    }
    f.quietNow = ctx.day.quiet.isQuiet(now);
    f.alarmActive = ctx.alarm.isActive();
    f.process = processStats();
    return f;
}

// A label value as the format writes it: backslash, double quote and line feed escaped.
std::string labelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string number(double value) {
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    std::ostringstream out;
    out.precision(15);
    out << value;
    return out.str();
}

class Exposition {
public:
    void family(std::string_view name, std::string_view type, std::string_view help) {
        _out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
    }
    void sample(std::string_view name, double value, std::string_view labels = {}) {
        _out << name;
        if (!labels.empty())
            _out << '{' << labels << '}';
        _out << ' ' << number(value) << '\n';
    }
    // A family of one sample.
    void single(std::string_view name, std::string_view type, std::string_view help, double value) {
        family(name, type, help);
        sample(name, value);
    }
    std::string text() const { return _out.str(); }

private:
    std::ostringstream _out;
};

std::string metricsText(const Figures& f) {
    Exposition m;
    m.family("tollwick_plays_total", "counter", "Plays that ended or never began, by source and outcome as the play log records them.");
    for (const auto& [source, sourceText] : EnumTexts<PlaySource>::texts)
        for (const auto& [outcome, outcomeText] : EnumTexts<PlayOutcome>::texts)
            m.sample("tollwick_plays_total",
                     static_cast<double>(f.counted.plays[static_cast<std::size_t>(source)][static_cast<std::size_t>(outcome)]),
                     "source=\"" + std::string(sourceText) + "\",outcome=\"" + std::string(outcomeText) + "\"");

    m.family("tollwick_bell_lateness_seconds", "histogram", "How long after its second a bell or programme began.");
    for (std::size_t b = 0; b < Metrics::LATENESS_BUCKETS.size(); ++b)
        m.sample("tollwick_bell_lateness_seconds_bucket", static_cast<double>(f.counted.latenessBuckets[b]),
                 "le=\"" + number(Metrics::LATENESS_BUCKETS[b]) + "\"");
    m.sample("tollwick_bell_lateness_seconds_bucket", static_cast<double>(f.counted.latenessCount), "le=\"+Inf\"");
    m.sample("tollwick_bell_lateness_seconds_sum", f.counted.latenessSum);
    m.sample("tollwick_bell_lateness_seconds_count", static_cast<double>(f.counted.latenessCount));

    m.single("tollwick_bells_enabled", "gauge", "1 while the bells are switched on.", f.bellsOn ? 1 : 0);
    m.single("tollwick_alarm_active", "gauge", "1 while the alarm sounds.", f.alarmActive ? 1 : 0);
    m.single("tollwick_quiet_period_active", "gauge", "1 while a quiet period keeps the bells silent.", f.quietNow ? 1 : 0);
    if (f.clock.synchronised)
        m.single("tollwick_clock_synchronised", "gauge", "1 while the operating system keeps the clock synchronised.",
                 *f.clock.synchronised ? 1 : 0);
    if (f.clock.maxErrorMs)
        m.single("tollwick_clock_error_seconds", "gauge", "The operating system's estimate of the clock's greatest error.",
                 static_cast<double>(*f.clock.maxErrorMs) / 1000.0);
    if (f.nextBellInSeconds)
        m.single("tollwick_next_bell_seconds", "gauge", "Seconds until the next bell of today.",
                 static_cast<double>(*f.nextBellInSeconds));
    if (f.secondsSincePass)
        m.single("tollwick_scheduler_seconds_since_pass", "gauge", "Seconds since the scheduler last looked at the clock.",
                 *f.secondsSincePass);

    m.family("tollwick_document_last_save_timestamp_seconds", "gauge", "When each document was last saved, in unix seconds.");
    for (std::size_t d = 0; d < Metrics::DOCUMENT_NAMES.size(); ++d)
        if (f.counted.saves[d].lastSuccess > 0)
            m.sample("tollwick_document_last_save_timestamp_seconds", f.counted.saves[d].lastSuccess,
                     "document=\"" + std::string(Metrics::DOCUMENT_NAMES[d]) + "\"");
    m.family("tollwick_document_save_failures_total", "counter", "Saves of each document that failed.");
    for (std::size_t d = 0; d < Metrics::DOCUMENT_NAMES.size(); ++d)
        m.sample("tollwick_document_save_failures_total", static_cast<double>(f.counted.saves[d].failures),
                 "document=\"" + std::string(Metrics::DOCUMENT_NAMES[d]) + "\"");

    if (f.freeBytes)
        m.single("tollwick_data_free_bytes", "gauge", "Free bytes on the file system of the data directory.",
                 static_cast<double>(*f.freeBytes));
    if (f.process.startTime)
        m.single("tollwick_process_start_time_seconds", "gauge", "When the process started, in unix seconds.",
                 *f.process.startTime);
    if (f.process.residentBytes)
        m.single("tollwick_process_resident_memory_bytes", "gauge", "Memory the process holds.",
                 static_cast<double>(*f.process.residentBytes));
    if (f.process.openFiles)
        m.single("tollwick_process_open_fds", "gauge", "Files, sockets and other handles the process holds open.",
                 static_cast<double>(*f.process.openFiles));

    m.family("tollwick_build_info", "gauge", "The running program's version and the school's name.");
    m.sample("tollwick_build_info", 1,
             "version=\"" + labelValue(runningVersion()) + "\",school=\"" + labelValue(f.schoolName) + "\"");
    return m.text();
}

// One line for each check that fails.
std::vector<std::string> failingChecks(const Figures& f) {
    std::vector<std::string> failing;
    if (!f.secondsSincePass)
        failing.push_back("scheduler: not running");
    else if (*f.secondsSincePass > static_cast<double>(PASS_LIMIT.count()))
        failing.push_back("scheduler: no pass for " + std::to_string(std::lround(*f.secondsSincePass)) + " s");
    for (std::size_t d = 0; d < Metrics::DOCUMENT_NAMES.size(); ++d)
        if (f.counted.saves[d].lastFailed)
            failing.push_back("save: the last save of " + std::string(Metrics::DOCUMENT_NAMES[d]) + " failed");
    if (f.freeBytes && *f.freeBytes < FREE_BYTES_NEEDED)
        failing.push_back("disk: " + std::to_string(*f.freeBytes / MiB) + " MiB free");
    if (f.clock.synchronised == false)
        failing.push_back("clock: not synchronised");
    return failing;
}

} // namespace

std::optional<Response> require_metrics_token(WebContext& ctx, const Request& request) {
    constexpr std::string_view BEARER = "Bearer ";
    std::string_view given;
    if (const auto header = request.header("Authorization"); header && header->starts_with(BEARER))
        given = header->substr(BEARER.size());
    {
        std::scoped_lock lock(ctx.docs.mutex);
        const Shadow& shadow = *std::as_const(ctx.docs).shadow;
        if (!shadow.isPasswordSet() || shadow.isMetricsToken(given))
            return std::nullopt;
    }
    Response refused(401, PLAIN_TEXT, "The metrics need the monitoring token that Settings shows, sent as "
                                      "\"Authorization: Bearer <token>\"");
    refused.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"Tollwick Player\"");
    return refused;
}

Response metrics_endpoint(WebContext& ctx, Request&) {
    return Response(200, METRICS_TYPE, metricsText(gather(ctx)));
}

Response healthz_endpoint(WebContext& ctx, Request&) {
    const std::vector<std::string> failing = failingChecks(gatherWithoutDocuments(ctx));
    if (failing.empty())
        return plain_text("ok");
    std::string text;
    for (const std::string& line : failing)
        text += line + "\n";
    return Response(503, PLAIN_TEXT, std::move(text));
}

} // namespace tollwick::web
