// The pieces of the frame that need no server: session cookies, route patterns, input checks.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <pthread.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "runtime/errors.h"
#include "storage/crypto.h"
#include "support/eventually.h"
#include "web/api/routes.h"
#include "web/api/web_input.h"
#include "web/http/request_target.h"
#include "web/http/session.h"
#include "web/http/socket_io.h"

using namespace tollwick;
using namespace tollwick::web;

namespace {

TEST(Hmac, MatchesThePublishedSha256Vectors) {
    EXPECT_EQ(hmacSha256Hex("Jefe", "what do ya want for nothing?"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(hmacSha256Hex(std::string(20, '\x0b'), "Hi There"),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
}

TEST(SessionCookie, RoundTripsUnderItsKeyOnly) {
    const Json data = {{"loggedIn", true}, {"permanent", {{"days", 30}}}};
    const std::string cookie = encodeSessionCookie(data, "key-one");
    EXPECT_EQ(cookie.find_first_of(" ;,\"="), std::string::npos) << "needs no quoting: " << cookie;
    const Session back = decodeSessionCookie(cookie, "key-one");
    EXPECT_TRUE(back.loggedIn());
    EXPECT_EQ(back.data(), data);
    EXPECT_FALSE(back.modified());

    EXPECT_FALSE(decodeSessionCookie(cookie, "key-two").loggedIn());
    EXPECT_EQ(decodeSessionCookie(cookie, "key-two").data(), Json::object());
    // Any change to payload or signature breaks it.
    for (std::size_t i = 0; i < cookie.size(); i += 7) {
        std::string tampered = cookie;
        tampered[i] = tampered[i] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(decodeSessionCookie(tampered, "key-one").loggedIn()) << i;
    }
    const std::string otherPayload = encodeSessionCookie(Json{{"loggedIn", true}, {"x", 1}}, "key-one");
    EXPECT_FALSE(
        decodeSessionCookie(otherPayload.substr(0, otherPayload.find('.')) + cookie.substr(cookie.find('.')), "key-one")
            .loggedIn());
    for (const char* junk : {"", ".", "abc", "abc.def", "!!!.0000"})
        EXPECT_EQ(decodeSessionCookie(junk, "key-one").data(), Json::object()) << junk;
}

TEST(SessionCookie, EveryPayloadLengthSurvivesTheEncoding) {
    for (int n = 0; n < 12; ++n) {
        const Json data = {{"v", std::string(static_cast<std::size_t>(n), 'x') + "é"}};
        EXPECT_EQ(decodeSessionCookie(encodeSessionCookie(data, "k"), "k").data(), data) << n;
    }
}

TEST(SessionCookie, OnlyABooleanTrueIsLoggedIn) {
    EXPECT_FALSE(Session().loggedIn());
    EXPECT_FALSE(Session(Json{{"loggedIn", 1}}).loggedIn());
    EXPECT_FALSE(Session(Json{{"loggedIn", "true"}}).loggedIn());
    EXPECT_FALSE(Session(Json::array({1})).loggedIn());
    Session s;
    s.set("loggedIn", true);
    EXPECT_TRUE(s.loggedIn());
    EXPECT_TRUE(s.modified());
}

TEST(SessionCookie, FindsItsValueInACookieHeader) {
    EXPECT_EQ(cookieValue("session=abc", "session"), "abc");
    EXPECT_EQ(cookieValue("theme=dark; session=a.b ;x=1", "session"), "a.b");
    EXPECT_EQ(cookieValue("mysession=no; session=\"q\"", "session"), "q");
    EXPECT_EQ(cookieValue("theme=dark", "session"), std::nullopt);
    EXPECT_EQ(cookieValue("", "session"), std::nullopt);
    EXPECT_EQ(sessionSetCookieHeader("v"), "session=v; Path=/; HttpOnly; SameSite=Strict");
}

// Where a request lands: "<pattern> <params>", or "405 <allowed>".
std::string landing(std::string_view method, std::string_view target) {
    const RouteMatch match = findRoute(method, readTarget(target).segments);
    if (!match.route)
        return "405 " + match.allowed;
    std::string out(match.route->pattern.text());
    for (const auto& [name, value] : match.params)
        out += " " + name + "=" + value;
    return out;
}

TEST(Routes, ParametersAreSegmentsAndTheCatchAllTakesTheRest) {
    struct Case {
        const char* method;
        const char* target;
        const char* landing;
    };
    const std::vector<Case> cases{
        {"GET", "/", "/"},
        {"HEAD", "/db", "/db"},
        {"GET", "/db/", "/<path:path> path=db/"},
        {"GET", "/api/get/status.js", "/api/get/<target> target=status.js"},
        {"GET", "/api/get/a%2Fb", "/api/get/<target> target=a/b"},
        {"GET", "/api/get/", "/<path:path> path=api/get/"},
        {"GET", "/api/get/status/more", "/<path:path> path=api/get/status/more"},
        {"GET", "/api/trigger/playSignal/ID_ping?x=1", "/api/trigger/<target>/<id> id=ID_ping target=playSignal"},
        {"GET", "/api/trigger/toggleAlarm", "/<path:path> path=api/trigger/toggleAlarm"},
        {"GET", "//", "/<path:path> path=/"},
        {"GET", "/assets/app.js", "/<path:path> path=assets/app.js"},
        {"GET", "/auth/login", "/<path:path> path=auth/login"},
        {"POST", "/auth/login", "/auth/login"},
        {"POST", "/db/timetables/update/abc", "/db/timetables/update/<id> id=abc"},
        {"POST", "/db", "405 GET, HEAD"},
        {"POST", "/", "405 GET, HEAD"},
        {"PUT", "/db/settings/update", "405 GET, HEAD, POST"},
        {"OPTIONS", "/db", "405 GET, HEAD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(landing(c.method, c.target), c.landing) << c.method << " " << c.target;
}

TEST(Routes, AnyNumberOfSegmentsIsMatchedWithoutRecursion) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "/a";
    EXPECT_EQ(landing("GET", deep).size(), std::string("/<path:path> path=").size() + deep.size() - 1);
    EXPECT_EQ(landing("GET", "/" + std::string(1 << 20, 'x')).substr(0, 18), "/<path:path> path=");
}

TEST(Routes, TheTableIsCompleteAndTheCatchAllComesLast) {
    const auto& table = routingTable();
    ASSERT_EQ(table.size(), 20u);
    EXPECT_EQ(table.back().pattern.text(), "/<path:path>");
    std::size_t guarded = 0;
    std::size_t byToken = 0;
    for (const Route& route : table) {
        guarded += route.login == Login::REQUIRED;
        byToken += route.login == Login::TOKEN;
        // Routes open to everybody take bodies of a few KiB at most.
        if (route.login == Login::OPEN) {
            EXPECT_LE(route.body.limit, 64u * 1024) << route.pattern.text();
        }
    }
    EXPECT_EQ(guarded, 13u);
    EXPECT_EQ(byToken, 1u) << "the metrics";
}

TEST(BrowserInput, WholeNumbers) {
    EXPECT_EQ(parseWholeNumber("12", "n"), 12);
    EXPECT_EQ(parseWholeNumber("-1", "n"), -1);
    EXPECT_EQ(parseWholeNumber("+3", "n"), 3);
    for (const char* bad : {"", "x", "1.5", " 1", "1 ", "+-1", "--1", "1e3", "99999999999999999999"})
        EXPECT_THROW(parseWholeNumber(bad, "n"), InvalidValueError) << bad;
    EXPECT_THROW(parseInt("3000000000", "n"), InvalidValueError);
    try {
        parseWholeNumber("x", "offset");
        FAIL();
    } catch (const InvalidValueError& e) {
        EXPECT_EQ(std::string(e.what()), "offset is not a whole number: 'x'");
    }
}

TEST(BrowserInput, Utf8) {
    for (const char* good : {"", "plain", "Órarend", "✓", "𝄞"})
        EXPECT_TRUE(isValidUtf8(good)) << good;
    for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

TEST(BrowserInput, IdsThatBecomeFileNames) {
    for (const char* good : {"a", "A-z_09", "3f2c-11"})
        EXPECT_NO_THROW(requireFileId(good)) << good;
    for (const char* bad : {"", ".", "..", "a.b", "a/b", "a\\b", "a b", "é", "a\nb", "announcement-1", "NUL", "com1"})
        EXPECT_THROW(requireFileId(bad), InvalidValueError) << bad;
}

TEST(BrowserInput, ProgrammesNameWhatIsWrong) {
    const Programme p = programmeFromInput("song", "2024-09-02", "10:15");
    EXPECT_EQ(p.songId, "song");
    EXPECT_EQ(p.date, (Date{2024, 9, 2}));
    EXPECT_EQ(p.time, (TimeOfDay{10, 15, 0}));
    auto message = [](std::optional<std::string> date, std::optional<std::string> time) {
        try {
            programmeFromInput("s", date, time);
        } catch (const InvalidValueError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message(std::nullopt, "10:00"), "Missing programme date");
    EXPECT_EQ(message("2024-09-02", std::nullopt), "Missing programme time");
    EXPECT_TRUE(message("2024-02-30", "10:00").starts_with("Invalid programme date '2024-02-30'"));
    EXPECT_TRUE(message("2024-09-02", "25:00").starts_with("Invalid programme time '25:00'"));
}

std::atomic<int> signalsSeen{0};
void countSignal(int) {
    ++signalsSeen;
}

// Whether thread `tid` of this process sleeps in poll() now.
bool sleepsInPoll(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long number = -1;
    in >> number;
    return number == SYS_ppoll
#ifdef SYS_poll
           || number == SYS_poll
#endif
        ;
}

TEST(Sockets, ASignalDoesNotCutAWaitShort) {
    // A handler without SA_RESTART interrupts the wait, as any signal does while a debugger traces
    // the process; the wait must still end only with its socket or its time.
    struct sigaction count {};
    count.sa_handler = countSignal;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &count, &previous), 0);
    net::Waker waker;
    std::atomic<pid_t> tid{0};
    std::atomic<bool> done{false};
    int ready = -1;
    bool readable = false;
    std::thread waiting([&] {
        tid = static_cast<pid_t>(::syscall(SYS_gettid));
        std::vector<net::PollEntry> entries{{waker.socket(), true, false}};
        ready = net::pollSockets(entries, std::chrono::seconds(20));
        readable = entries[0].readable;
        done = true;
    });
    EXPECT_TRUE(test::eventually([&] { return tid != 0 && sleepsInPoll(tid); }));
    ::pthread_kill(waiting.native_handle(), SIGUSR1);
    EXPECT_TRUE(test::eventually([&] { return signalsSeen > 0; }));
    // Back in its wait, or (wrongly) done with it.
    EXPECT_TRUE(test::eventually([&] { return done || sleepsInPoll(tid); }));
    waker.wake();
    waiting.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(readable);
}

} // namespace
