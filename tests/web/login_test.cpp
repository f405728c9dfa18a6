// Logging in and out, password changes, the login guard and the signed session cookie.
#include <regex>

#include "runtime/paths.h"
#include "storage/atomic_file.h"
#include "web/api/login_throttle.h"
#include "web/http/session.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;

namespace {

struct Login : WebTest {
    static std::string login(Browser& b, const std::string& password, const std::string& remember = "true") {
        return outcome(
            b.post("/auth/login", "{\"userPassword\": " + Json(password).dump() + ", \"remember\": " + remember + "}"));
    }
    std::string salt() {
        std::scoped_lock lock(docs.mutex);
        return docs.shadow.edit().getCurrentSalt();
    }
};

TEST_F(Login, AFreshInstallationIsOpenToEverybody) {
    Browser b = browser();
    EXPECT_EQ(b.get("/db")->status, 200);
    EXPECT_EQ(b.get("/api/get/status")->status, 200);
    EXPECT_EQ(outcome(b.get("/login")), "302 /");
    EXPECT_EQ(outcome(b.get("/")), "200 <html>start page</html>");
    EXPECT_EQ(login(b, "anything"), "400 Login failed");
    EXPECT_EQ(login(b, ""), "400 Login failed");
    EXPECT_TRUE(b.cookie.empty()) << "a failed login leaves the session alone";
    EXPECT_EQ(outcome(b.get("/auth/logout")), "302 /login");
}

TEST_F(Login, TwoBrowsersAroundTheFirstPassword) {
    Browser first = browser();
    Browser second = browser();
    const auto set = first.post("/auth/chpasswd", "\"secret\"");
    EXPECT_EQ(outcome(set), "200 ok");
    EXPECT_TRUE(set->get_header_value("Set-Cookie").ends_with("; Path=/; HttpOnly; SameSite=Strict"))
        << set->get_header_value("Set-Cookie");
    EXPECT_TRUE(docs.shadow->isPasswordSet());

    // The browser that set the first password is logged in; the other is not.
    EXPECT_EQ(first.get("/db")->status, 200);
    EXPECT_EQ(outcome(first.get("/")), "200 <html>start page</html>");
    EXPECT_EQ(outcome(second.get("/db")), "400 No auth");
    for (const char* guarded : {"/api/get/status", "/api/trigger/toggleAlarm/x", "/db/timetables",
                                "/get_signal_file/ID_ping", "/auth/logout"})
        EXPECT_EQ(outcome(second.get(guarded)), "400 No auth") << guarded;
    EXPECT_EQ(outcome(second.post("/db/settings/update", R"({"alarmDelaySec": 9})")), "400 No auth");
    EXPECT_EQ(outcome(second.post("/auth/chpasswd", "\"mine\"")), "400 No auth");
    EXPECT_EQ(outcome(second.upload({{"file", "x", "a.wav", "audio/wav"}})), "400 No auth");
    EXPECT_FALSE(alarm.isActive());
    EXPECT_EQ(db().settings.alarmDelaySec, 0.0);
    EXPECT_EQ(outcome(second.get("/")), "302 /login");
    EXPECT_EQ(outcome(second.get("/calendar")), "302 /login");
    EXPECT_EQ(outcome(second.get("/settings/audio")), "302 /login");
    EXPECT_EQ(outcome(second.get("/login")), "200 <html>start page</html>");
    EXPECT_EQ(outcome(second.get("/welcome")), "200 <html>start page</html>");
    EXPECT_EQ(second.get("/favicon.ico")->status, 200);
    EXPECT_EQ(second.get("/index.html")->status, 200);
    EXPECT_EQ(outcome(second.get("/whoami")), "200 Tollwick Player Backend");

    EXPECT_EQ(login(second, "wrong"), "400 Login failed");
    EXPECT_TRUE(second.cookie.empty());
    EXPECT_EQ(login(second, "secret"), "302 /");
    EXPECT_EQ(second.get("/db")->status, 200);
    EXPECT_EQ(outcome(second.get("/login")), "302 /");
    EXPECT_EQ(outcome(second.get("/welcome")), "200 <html>start page</html>");

    // Logging out ends one browser's session only.
    EXPECT_EQ(outcome(first.get("/auth/logout")), "302 /login");
    EXPECT_EQ(outcome(first.get("/db")), "400 No auth");
    EXPECT_EQ(outcome(first.get("/")), "302 /login");
    EXPECT_EQ(second.get("/db")->status, 200);
}

TEST_F(Login, ChangingThePasswordEndsEveryOtherSession) {
    Browser first = browser();
    setPassword(first, "old");
    Browser second = browser();
    EXPECT_EQ(login(second, "old"), "302 /");
    const std::string saltBefore = salt();

    const auto change = first.post("/auth/chpasswd", "\"new\"");
    EXPECT_EQ(outcome(change), "200 ok");
    EXPECT_FALSE(change->has_header("Set-Cookie")) << "the changing session is left as it is";
    EXPECT_EQ(salt(), saltBefore);
    EXPECT_EQ(first.get("/db")->status, 200);
    EXPECT_EQ(outcome(second.get("/db")), "400 No auth");

    Browser third = browser();
    EXPECT_EQ(login(third, "old"), "400 Login failed");
    EXPECT_EQ(login(third, "new"), "302 /");
    // The empty text is a password like any other.
    EXPECT_EQ(outcome(third.post("/auth/chpasswd", "\"\"")), "200 ok");
    Browser fourth = browser();
    EXPECT_EQ(login(fourth, ""), "302 /");
}

TEST_F(Login, BadLoginAndPasswordBodiesAre400) {
    Browser first = browser();
    setPassword(first, "pw");
    Browser b = browser();
    for (const char* body : {"", "not json", "[]", "\"pw\"", R"({"remember": true})", R"({"userPassword": 5})",
                             R"({"userPassword": null, "remember": true})", R"({"userPassword": ["pw"]})"}) {
        const auto answer = b.post("/auth/login", body);
        EXPECT_EQ(answer->status, 400) << body << " -> " << answer->body;
    }
    EXPECT_TRUE(b.cookie.empty());
    // `remember` is kept but not needed.
    EXPECT_EQ(outcome(b.post("/auth/login", R"({"userPassword": "pw"})")), "302 /");

    for (const char* body : {"", "{", R"({"password": "x"})", "5", "null", "true"}) {
        const auto answer = first.post("/auth/chpasswd", body);
        EXPECT_EQ(answer->status, 400) << body << " -> " << answer->body;
    }
    EXPECT_EQ(login(b, "pw"), "302 /") << "the password is unchanged";
}

TEST_F(Login, TheSessionIsACookieSignedWithTheInstallationsSalt) {
    Browser first = browser();
    setPassword(first, "pw");
    Browser b = browser();
    EXPECT_EQ(login(b, "pw", R"({"days": 30})"), "302 /");
    const web::Session session = web::decodeSessionCookie(b.cookie, salt());
    const std::string id = session.sessionId();
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(session.data(), Json({{"loggedIn", true}, {"permanent", {{"days", 30}}}, {"sessionId", id}}));

    auto withCookie = [this](const std::string& cookie) {
        Browser forged = browser();
        forged.cookie = cookie;
        return outcome(forged.get("/db")).substr(0, 3);
    };
    const Json in = {{"loggedIn", true}, {"sessionId", id}};
    EXPECT_EQ(withCookie(web::encodeSessionCookie(in, salt())), "200");
    EXPECT_EQ(withCookie(web::encodeSessionCookie({{"loggedIn", true}}, salt())), "400")
        << "a cookie without a session id, as made before sessions were kept, counts as logged out";
    EXPECT_EQ(withCookie(web::encodeSessionCookie({{"loggedIn", true}, {"sessionId", "0123"}}, salt())), "400");
    EXPECT_EQ(withCookie(web::encodeSessionCookie(in, "another key")), "400");
    EXPECT_EQ(
        withCookie(web::encodeSessionCookie(in, "9555e7fde08ec7c6d49431712381a97c3bf922cd53e7221f311aba470c33dad9")),
        "400")
        << "the built-in key no longer signs once the salt is set";
    std::string tampered = b.cookie;
    tampered[2] = tampered[2] == 'x' ? 'y' : 'x';
    EXPECT_EQ(withCookie(tampered), "400");
    EXPECT_EQ(withCookie("garbage"), "400");

    // Another server with the same salt (the next start of the process) accepts the session.
    HttpApp restarted(docs, clock, player, alarm, api, DayServices{sounds, paths, playLog, quiet, {}});
    restarted.setSessionKey(salt());
    const int otherPort = restarted.bind("127.0.0.1", 0);
    std::thread serving([&] { restarted.serve(); });
    while (!restarted.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Browser again(otherPort);
    again.cookie = b.cookie;
    EXPECT_EQ(again.get("/db")->status, 200);
    restarted.setSessionKey("a new salt");
    EXPECT_EQ(outcome(again.get("/db")), "400 No auth");
    restarted.stop();
    serving.join();
}

TEST_F(Login, ACookieReplayedAfterLogoutOrAPasswordChangeIsRefusedAlsoAfterARestart) {
    Browser owner = browser();
    setPassword(owner, "pw");
    Browser left = browser();
    EXPECT_EQ(login(left, "pw"), "302 /");
    Browser stays = browser();
    EXPECT_EQ(login(stays, "pw"), "302 /");
    const std::string leftCookie = left.cookie;
    EXPECT_EQ(outcome(left.get("/auth/logout")), "302 /login");

    Browser thief = browser();
    thief.cookie = leftCookie;
    EXPECT_EQ(outcome(thief.get("/db")), "400 No auth") << "logging out ends the session, not just the browser's copy";
    EXPECT_EQ(outcome(thief.post("/auth/chpasswd", "\"mine\"")), "400 No auth");
    EXPECT_EQ(stays.get("/db")->status, 200);

    // The password store as it reaches the disk, read by the next start of the process.
    {
        std::scoped_lock lock(docs.mutex);
        docs.shadow.saveForce();
    }
    Documents next;
    next.shadow.load(getUserFilePath("_shadow.json"));
    if (!next.db.load(getUserFilePath("_db.json")))
        next.db.edit().loadFactoryDefault();
    HttpApp restarted(next, clock, player, alarm, api, DayServices{sounds, paths, playLog, quiet, [] { return true; }});
    restarted.setSessionKey(next.shadow.edit().getCurrentSalt());
    const int otherPort = restarted.bind("127.0.0.1", 0);
    std::thread serving([&] { restarted.serve(); });
    while (!restarted.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Browser replayed(otherPort), kept(otherPort);
    replayed.cookie = leftCookie;
    kept.cookie = stays.cookie;
    EXPECT_EQ(outcome(replayed.get("/db")), "400 No auth");
    EXPECT_EQ(kept.get("/db")->status, 200);
    // A password change there ends the session of every other browser.
    Browser changer(otherPort);
    EXPECT_EQ(login(changer, "pw"), "302 /");
    EXPECT_EQ(outcome(changer.post("/auth/chpasswd", "\"new\"")), "200 ok");
    EXPECT_EQ(outcome(kept.get("/db")), "400 No auth");
    EXPECT_EQ(changer.get("/db")->status, 200);
    restarted.stop();
    serving.join();
}

TEST_F(Login, FiveWrongPasswordsLockTheAddressOut) {
    Browser owner = browser();
    setPassword(owner, "pw");
    Browser guesser = browser();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(login(guesser, "guess" + std::to_string(i)), "400 Login failed") << i;
    const auto locked = guesser.post("/auth/login", R"({"userPassword": "pw"})");
    EXPECT_EQ(locked->status, 429) << "even the right password waits";
    EXPECT_EQ(locked->get_header_value("Retry-After"), "60");
    EXPECT_EQ(locked->body, "Too many failed logins from this address; try again in 60 seconds");
    EXPECT_TRUE(guesser.cookie.empty());
    // Another address is not held up.
    const std::string body = R"({"userPassword": "pw"})";
    RawConnection other(port,
                        "POST /auth/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
                        "127.0.0.2");
    EXPECT_TRUE(other.readAnswer().starts_with("HTTP/1.1 302 Found"));
}

TEST(LoginThrottle, LocksDoubleUpToAnHourAndTheRightPasswordWorksAfterTheWait) {
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(100);
    web::LoginThrottle throttle([&] { return now; });
    const std::vector<long> expected{60, 120, 240, 480, 960, 1920, 3600, 3600};
    for (const long lock : expected) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(throttle.waitFor("10.0.0.9").count(), 0);
            throttle.failed("10.0.0.9");
            now += std::chrono::seconds(1);
        }
        EXPECT_EQ(throttle.waitFor("10.0.0.9").count(), lock - 1);
        now += std::chrono::seconds(lock);
    }
    EXPECT_EQ(throttle.waitFor("10.0.0.9").count(), 0);
    throttle.succeeded("10.0.0.9");
    throttle.failed("10.0.0.9");
    EXPECT_EQ(throttle.waitFor("10.0.0.9").count(), 0) << "a login clears the address's record";

    // Failures spread over more than a minute never lock.
    for (int i = 0; i < 20; ++i) {
        throttle.failed("10.0.0.7");
        now += std::chrono::seconds(16);
    }
    EXPECT_EQ(throttle.waitFor("10.0.0.7").count(), 0);
}

TEST(LoginThrottle, AFloodFromManyAddressesStaysBounded) {
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    web::LoginThrottle throttle([&] { return now; }, 100);
    for (int i = 0; i < 5; ++i)
        throttle.failed("10.0.0.1");
    for (int a = 0; a < 10000; ++a)
        throttle.failed("10.1." + std::to_string(a / 256) + "." + std::to_string(a % 256));
    EXPECT_LE(throttle.rememberedAddresses(), 100u);
}

TEST_F(Login, TheFirstPasswordFromAnotherComputerNeedsTheSetupCode) {
    const std::optional<std::string> code = app.offerSetupCode();
    ASSERT_TRUE(code);
    ASSERT_TRUE(std::regex_match(*code, std::regex("[0-9]{4}-[0-9]{4}"))) << *code;
    EXPECT_EQ(readWholeFile(dataDir() / "setup-code"), *code + "\n");
    EXPECT_EQ(std::filesystem::status(dataDir() / "setup-code").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string wrong = *code == "1111-1111" ? "2222-2222" : "1111-1111";
    // Sent to the school's address of this PC, as from another computer of the school.
    auto setFirst = [&](const std::string& from, std::optional<std::string> setupCode) {
        const std::string body = "\"secret\"";
        return RawConnection(port,
                             "POST /auth/chpasswd HTTP/1.1\r\nHost: 192.168.1.20:2233\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n" +
                                 (setupCode ? "X-Setup-Code: " + *setupCode + "\r\n" : "") +
                                 "Connection: close\r\n\r\n" + body,
                             from)
            .readAnswer();
    };
    EXPECT_EQ(jsonOf(httplib::Client("127.0.0.1", port).Get("/auth/setup", {{"Host", "192.168.1.20:2233"}})),
              (Json{{"passwordSet", false}, {"setupCodeNeeded", true}}));
    EXPECT_EQ(jsonOf(browser().get("/auth/setup")), (Json{{"passwordSet", false}, {"setupCodeNeeded", false}}));
    const std::string refused = setFirst("127.0.0.2", std::nullopt);
    EXPECT_TRUE(refused.starts_with("HTTP/1.1 403")) << refused;
    EXPECT_NE(refused.find("set-up code. It is in the log"), std::string::npos) << refused;
    // Wrong codes count as failed logins: the sixth try waits, even with the right code.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(setFirst("127.0.0.3", wrong).starts_with("HTTP/1.1 403")) << i;
    EXPECT_TRUE(setFirst("127.0.0.3", *code).starts_with("HTTP/1.1 429"));
    EXPECT_FALSE(docs.shadow->isPasswordSet());

    const std::string accepted = setFirst("127.0.0.2", " " + code->substr(0, 4) + code->substr(5) + " ");
    EXPECT_TRUE(accepted.starts_with("HTTP/1.1 200")) << accepted;
    EXPECT_NE(accepted.find("Set-Cookie: session="), std::string::npos);
    EXPECT_TRUE(docs.shadow->isPasswordSet());
    EXPECT_FALSE(std::filesystem::exists(dataDir() / "setup-code")) << "the code goes with the first password";
    EXPECT_FALSE(app.offerSetupCode());
    EXPECT_EQ(outcome(browser().post("/auth/chpasswd", "\"mine\"")), "400 No auth");
}

TEST_F(Login, TheFirstPasswordFromThisMachineNeedsNoCode) {
    ASSERT_TRUE(app.offerSetupCode());
    httplib::Client client("127.0.0.1", port);
    const auto set = client.Post("/auth/chpasswd", {{"Host", "localhost:" + std::to_string(port)}}, "\"secret\"",
                                 "application/json");
    EXPECT_EQ(outcome(set), "200 ok");
    EXPECT_TRUE(docs.shadow->isPasswordSet());
}

TEST_F(Login, SessionsEndWhenIdleFor12HoursAndAfter30Days) {
    constexpr long HOUR = 3600;
    constexpr long DAYS_30 = 30 * 24 * HOUR;
    Browser b = browser();
    setPassword(b, "pw");
    time.advance(11 * HOUR);
    EXPECT_EQ(b.get("/db")->status, 200);
    time.advance(12 * HOUR);
    EXPECT_EQ(outcome(b.get("/db")), "400 No auth");
    EXPECT_EQ(outcome(b.get("/settings")), "302 /login");

    // Used every eleven hours, a session lives until thirty days after its login.
    EXPECT_EQ(login(b, "pw"), "302 /");
    long since = 0;
    for (; since + 11 * HOUR < DAYS_30; since += 11 * HOUR) {
        time.advance(11 * HOUR);
        EXPECT_EQ(b.get("/db")->status, 200) << since / HOUR;
    }
    time.advance(DAYS_30 - since);
    EXPECT_EQ(outcome(b.get("/db")), "400 No auth");
    EXPECT_EQ(login(b, "pw"), "302 /") << "a new login starts a new session";
    EXPECT_EQ(b.get("/db")->status, 200);
}

} // namespace
