// Logging in and out, password changes, the login guard and the signed session cookie.
#include "web/session.h"
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
        return docs.shadow->getCurrentSalt();
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
    EXPECT_TRUE(set->get_header_value("Set-Cookie").ends_with("; Path=/; HttpOnly; SameSite=Lax"))
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

TEST_F(Login, ChangingThePasswordLogsNobodyOut) {
    Browser first = browser();
    setPassword(first, "old");
    Browser second = browser();
    EXPECT_EQ(login(second, "old"), "302 /");
    const std::string saltBefore = salt();

    const auto change = first.post("/auth/chpasswd", "\"new\"");
    EXPECT_EQ(outcome(change), "200 ok");
    EXPECT_FALSE(change->has_header("Set-Cookie")) << "a logged-in session is left as it is";
    EXPECT_EQ(salt(), saltBefore);
    EXPECT_EQ(first.get("/db")->status, 200);
    EXPECT_EQ(second.get("/db")->status, 200);

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
    EXPECT_EQ(session.data(), Json::parse(R"({"loggedIn": true, "permanent": {"days": 30}})"));

    auto withCookie = [this](const std::string& cookie) {
        Browser forged = browser();
        forged.cookie = cookie;
        return outcome(forged.get("/db")).substr(0, 3);
    };
    const Json in = {{"loggedIn", true}};
    EXPECT_EQ(withCookie(web::encodeSessionCookie(in, salt())), "200");
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
    HttpApp restarted(docs, clock, player, alarm, api, DayServices{sounds, playLog, quiet, {}});
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

} // namespace
