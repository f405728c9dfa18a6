// The school's monitoring: the metrics move with real plays and Prometheus' own checker accepts
// them, they ask for the monitoring token once a password is set, and the health check names each
// failing part.
#include "web_fixture.h"

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "runtime/child_process.h"
#include "support/eventually.h"

namespace tollwick::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The value of the sample `series` ("name{labels}" as the answer writes it); NaN when absent.
double sampleOf(const std::string& text, const std::string& series) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > series.size() && line.starts_with(series) && line[series.size()] == ' ')
            return std::stod(line.substr(series.size() + 1));
    return std::nan("");
}

std::string played(const std::string& source, const std::string& outcome) {
    return "tollwick_plays_total{source=\"" + source + "\",outcome=\"" + outcome + "\"}";
}

std::string bucket(const std::string& le) {
    return "tollwick_bell_lateness_seconds_bucket{le=\"" + le + "\"}";
}

struct Monitoring : WebTest {
    Browser b = browser();

    Monitoring() {
        std::scoped_lock lock(docs.mutex);
        // Set past the settings' checks, which refuse the line feed.
        db().settings.schoolName = "Szent \"István\" \\ Gimnázium\nNord";
        for (const char* name : {"bell", "broken"}) {
            db().songs.add(AudioAsset{name, "", std::string(name) + ".wav"}, name);
            std::ofstream(dataDir() / (std::string(name) + ".wav")) << "sound";
        }
        recorder->fail(PlayRecorder::Operation::START, paths.userFile("broken.wav"), "no such device");
        TimeTable& tt = db().timetables.get(FACTORY_DEFAULT_TIMETABLE_ID);
        tt.chA.lessons = {};
        tt.customPlays = {UserPlay{PlayDesc{"bell"}, {TimeOfDay(10, 30), TimeOfDay(10, 40)}},
                          UserPlay{PlayDesc{"broken"}, {TimeOfDay(10, 35)}}};
    }

    // Rings the bells due at h:m, `late` seconds after their second, and waits until they are over.
    void ringAt(int h, int m, int late = 0) {
        time.set(2024, 9, 2, h, m, 0);
        const ClockReading due = clock.updateClock();
        time.set(2024, 9, 2, h, m, late);
        clock.updateClock();
        system.scheduler().triggerScheduledSounds(due);
        ASSERT_TRUE(player.waitUntilAllEnded(10s));
    }

    std::string metrics(const std::optional<std::string>& token = std::nullopt) {
        httplib::Client client("127.0.0.1", port);
        httplib::Headers headers;
        if (token)
            headers.emplace("Authorization", "Bearer " + *token);
        const auto answer = client.Get("/metrics", headers);
        return !answer ? "no answer" : answer->status == 200 ? answer->body : std::to_string(answer->status);
    }

    std::string health() { return outcome(b.get("/healthz")); }
};

TEST_F(Monitoring, PlaysAndTheLatenessOfBellsAreCountedAsTheyHappenInAnAnswerPromtoolAccepts) {
    ringAt(10, 30);
    ringAt(10, 35);
    ringAt(10, 40, 2);
    EXPECT_EQ(outcome(b.get("/api/trigger/playSignal/bell")), "200 ok");
    ASSERT_TRUE(player.waitUntilAllEnded(10s));
    EXPECT_EQ(outcome(b.get("/api/trigger/toggleAlarm/x")), "200 ok");

    const std::string text = metrics();
    const struct {
        std::string series;
        double value;
    } expected[] = {
        {played("extraPlay", "played"), 2},
        {played("extraPlay", "failed"), 1},
        {played("manual", "played"), 1},
        {played("lessonStart", "played"), 0},
        // The bell on its second, and the one two seconds late; the broken one never began.
        {bucket("0.001"), 1},
        {bucket("1"), 1},
        {bucket("2.5"), 2},
        {bucket("+Inf"), 2},
        {"tollwick_bell_lateness_seconds_count", 2},
        {"tollwick_bell_lateness_seconds_sum", 2},
        {"tollwick_alarm_active", 1},
        {"tollwick_bells_enabled", 1},
        {"tollwick_clock_synchronised", 1},
        {"tollwick_data_free_bytes", static_cast<double>(std::uint64_t(1) << 40)},
    };
    for (const auto& e : expected)
        EXPECT_EQ(sampleOf(text, e.series), e.value) << e.series;
    EXPECT_GT(sampleOf(text, "tollwick_process_resident_memory_bytes"), 0);
    EXPECT_NE(text.find("tollwick_build_info{version=\""), std::string::npos);
    EXPECT_NE(text.find(",school=\"Szent \\\"István\\\" \\\\ Gimnázium\\nNord\"} 1\n"), std::string::npos);

    const fs::path answer = dataDir() / "metrics.txt";
    std::ofstream(answer) << text;
    const ProcessOutput checked = runProcess({"sh", "-c", "promtool check metrics < '" + answer.string() + "'"});
    EXPECT_EQ(checked.exitStatus, 0) << checked.out << checked.err << "\n(promtool comes with Debian's prometheus package)";
    EXPECT_EQ(outcome(b.get("/api/trigger/toggleAlarm/x")), "200 ok");
}

// The scrape example, the alerting rules and the dashboard that ship for the school's IT: Prometheus
// reads them, and every query asks for a metric that the answer serves, by the family name of its
// "# TYPE" line (a histogram's _bucket, _sum and _count belong to it).
TEST_F(Monitoring, TheReadyMadeDashboardAndRulesAskOnlyForServedMetrics) {
    time.set(2024, 9, 2, 10, 0, 0); // a bell still due and a scheduler passing: every gauge is answered
    clock.updateClock();
    system.startScheduler({});
    ASSERT_TRUE(eventually([&] { return metrics().find("tollwick_scheduler_seconds_since_pass ") != std::string::npos; }));
    std::set<std::string> families;
    std::istringstream lines(metrics());
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("# TYPE "))
            families.insert(line.substr(7, line.find(' ', 7) - 7));

    const fs::path shipped = fs::path(TOLLWICK_SOURCE_DIR) / "packaging" / "monitoring";
    std::vector<std::string> queries;
    std::ifstream dashboardFile(shipped / "grafana-dashboard.json");
    const Json dashboard = Json::parse(dashboardFile);
    for (const Json& panel : dashboard.at("panels"))
        for (const Json& target : panel.at("targets"))
            queries.push_back(target.at("expr").get<std::string>());
    const std::size_t dashboardQueries = queries.size();
    std::ifstream rules(shipped / "tollwick-alerts.yml");
    for (std::string line; std::getline(rules, line);)
        if (const auto at = line.find("expr: "); at != std::string::npos)
            queries.push_back(line.substr(at + 6));
    ASSERT_GT(queries.size(), dashboardQueries);

    const std::regex metricName("tollwick_[a-z_]+");
    std::set<std::string> asked;
    for (const std::string& query : queries)
        for (std::sregex_iterator it(query.begin(), query.end(), metricName), end; it != end; ++it) {
            std::string name = it->str();
            for (const std::string_view part : {"_bucket", "_sum", "_count"})
                if (name.ends_with(part)) {
                    std::string family = name.substr(0, name.size() - part.size());
                    if (families.contains(family))
                        name = std::move(family);
                }
            EXPECT_TRUE(families.contains(name)) << name << " in " << query;
            asked.insert(name);
        }
    for (const char* needed : {"tollwick_plays_total", "tollwick_bell_lateness_seconds", "tollwick_clock_error_seconds",
                               "tollwick_data_free_bytes", "tollwick_document_save_failures_total"})
        EXPECT_TRUE(asked.contains(needed)) << needed << " has no panel or rule";

    // Prometheus' own checker parses the example, the rules and, as recording rules, every query of
    // the dashboard.
    const fs::path asRules = dataDir() / "dashboard-rules.yml";
    {
        std::ofstream out(asRules);
        out << "groups:\n  - name: dashboard\n    rules:\n";
        for (std::size_t i = 0; i < dashboardQueries; ++i)
            out << "      - record: dashboard:query" << i << "\n        expr: " << Json(queries[i]).dump() << "\n";
    }
    for (const std::string& command :
         {"promtool check config --syntax-only '" + (shipped / "prometheus.yml").string() + "'",
          "promtool check rules '" + (shipped / "tollwick-alerts.yml").string() + "' '" + asRules.string() + "'"}) {
        const ProcessOutput checked = runProcess({"sh", "-c", command});
        EXPECT_EQ(checked.exitStatus, 0) << command << "\n" << checked.out << checked.err;
    }
}

TEST_F(Monitoring, OnceAPasswordIsSetTheMetricsAskForTheMonitoringTokenAndANewOneEndsTheOld) {
    EXPECT_NE(metrics().find("tollwick_plays_total"), std::string::npos) << "open while no password is set";
    setPassword(b, "secret");
    EXPECT_EQ(metrics(), "401");
    const std::string token = jsonOf(b.get("/api/get/metricsToken"))["token"];
    EXPECT_EQ(token.size(), 64u);
    EXPECT_EQ(metrics("wrong"), "401");
    EXPECT_EQ(metrics(token + "x"), "401");
    EXPECT_NE(metrics(token).find("tollwick_plays_total"), std::string::npos);
    EXPECT_EQ(jsonOf(b.get("/api/get/metricsToken"))["token"], token) << "the token stays until a new one is made";

    EXPECT_EQ(outcome(b.get("/api/trigger/newMetricsToken/0")), "200 ok");
    const std::string renewed = jsonOf(b.get("/api/get/metricsToken"))["token"];
    EXPECT_NE(renewed, token);
    EXPECT_EQ(metrics(token), "401");
    EXPECT_NE(metrics(renewed).find("tollwick_plays_total"), std::string::npos);
    EXPECT_EQ(outcome(browser().get("/api/get/metricsToken")), "400 No auth");

    system.saveChangedDocuments();
    std::stringstream shadow;
    shadow << std::ifstream(dataDir() / "_shadow.json").rdbuf();
    EXPECT_NE(shadow.str().find(renewed), std::string::npos) << "kept over a restart";
}

// Each check fails on its own, with its own line, and passes again once its cause is gone.
TEST_F(Monitoring, TheHealthCheckNamesEachFailingPartUntilItIsWellAgain) {
    EXPECT_EQ(health(), "503 scheduler: not running\n");
    system.startScheduler({});
    ASSERT_TRUE(eventually([&] { return health() == "200 ok"; }));

    freeDiskBytes = 12 * 1024 * 1024;
    clockSynchronised = false;
    EXPECT_EQ(health(), "503 disk: 12 MiB free\nclock: not synchronised\n");
    freeDiskBytes = 60 * 1024 * 1024;
    clockSynchronised = true;
    EXPECT_EQ(health(), "200 ok");

    // A save that cannot replace its file: a directory stands where the database goes.
    fs::create_directory(dataDir() / "_db.json");
    {
        std::scoped_lock lock(docs.mutex);
        db().settings.alarmDelaySec = 7;
    }
    system.saveChangedDocuments();
    EXPECT_EQ(health(), "503 save: the last save of db failed\n");
    fs::remove(dataDir() / "_db.json");
    system.saveChangedDocuments();
    EXPECT_EQ(health(), "200 ok");
    EXPECT_GE(sampleOf(metrics(), "tollwick_document_save_failures_total{document=\"db\"}"), 1);

    // A scheduler stuck on the documents' mutex: the check still answers, and names it.
    {
        std::unique_lock lock(docs.mutex);
        time.advance(1);
        EXPECT_TRUE(eventually([&] { return health().starts_with("503 scheduler: no pass for "); }, 10s));
    }
    EXPECT_TRUE(eventually([&] { return health() == "200 ok"; }));
}

} // namespace
} // namespace tollwick::test
