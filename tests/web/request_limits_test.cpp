// What the front refuses before a body is read, and the bounds it keeps for slow and busy clients.
#include <future>
#include <regex>

#include "support/eventually.h"
#include "web/http/session.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
using namespace std::chrono_literals;

namespace {

struct RequestLimits : WebTest {};

std::string statusLine(const std::string& raw) {
    return raw.substr(0, raw.find("\r\n"));
}

std::string bodyOf(const std::string& raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    return end == std::string::npos ? "" : raw.substr(end + 4);
}

TEST_F(RequestLimits, BodiesAreRefusedBeforeTheyAreRead) {
    const std::string head = "POST /auth/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    struct Case {
        const char* what;
        std::string request; // nothing of a refused body is sent: the answer must come without it
        const char* status;
    };
    const std::vector<Case> cases{
        {"chunked", head + "Transfer-Encoding: chunked\r\n\r\n", "HTTP/1.1 411 Length Required"},
        {"no length", head + "\r\n", "HTTP/1.1 411 Length Required"},
        {"over the login's 4 KiB", head + "Content-Length: 4097\r\n\r\n", "HTTP/1.1 413 Payload Too Large"},
        {"100 MiB", head + "Content-Length: 104857600\r\n\r\n", "HTTP/1.1 413 Payload Too Large"},
        {"a length that is no number", head + "Content-Length: 12x\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"two lengths", head + "Content-Length: 2\r\nContent-Length: 3\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a body for a route that reads none",
         "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 65537\r\n\r\n", "HTTP/1.1 413 Payload Too Large"},
        {"a header line that does not end",
         "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Long: " + std::string(40000, 'a'),
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"a bare line feed", "GET /whoami HTTP/1.1\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a folded line", "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\n x\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a control character in a value", "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nX-A: a\x01z\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {"DEL in a value", "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nX-A: a\x7f\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a tab in the target", "GET /who\tami HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a path longer than any of ours", "GET /" + std::string(2048, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
         "HTTP/1.1 414 URI Too Long"},
    };
    for (const Case& c : cases) {
        const std::string answer = rawExchange(port, c.request);
        EXPECT_EQ(statusLine(answer), c.status) << c.what;
        EXPECT_NE(answer.find("Cache-Control: no-store"), std::string::npos) << c.what;
        EXPECT_NE(answer.find("Content-Type: text/plain; charset=utf-8"), std::string::npos) << c.what;
        EXPECT_FALSE(bodyOf(answer).empty()) << c.what << ": a plain-text reason";
    }
    EXPECT_EQ(outcome(browser().get("/whoami")), "200 Tollwick Player Backend");
}

TEST_F(RequestLimits, JsonNestedDeeperThan64LevelsIs400) {
    Browser b = browser();
    const std::string deep = std::string(65, '[') + std::string(65, ']');
    const auto login = b.post("/auth/login", deep);
    EXPECT_EQ(login->status, 400);
    EXPECT_NE(login->body.find("nest deeper than 64 levels"), std::string::npos) << login->body;
    // Four KiB of brackets, the most the route takes; a login never needs more.
    EXPECT_EQ(b.post("/auth/login", std::string(4 * 1024, '['))->status, 400);
    EXPECT_EQ(b.post("/auth/login", std::string(4 * 1024 + 1, '['))->status, 413);
    const std::string settings = R"({"alarmDelaySec": )" + std::string(70, '[') + std::string(70, ']') + "}";
    EXPECT_EQ(b.post("/db/settings/update", settings)->status, 400);
    EXPECT_EQ(outcome(b.post("/db/timetables/create", deep)), "400 Invalid timetable");
    EXPECT_EQ(b.post("/db/timetables/create", std::string(1024 * 1024 + 1, ' '))->status, 413);
}

TEST_F(RequestLimits, ARefusedSmallBodyLeavesTheConnectionInStep) {
    // The body is read and dropped, so the next request on the connection is read from its start.
    RawConnection connection(port, "POST /db HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 6\r\n\r\nGET /x");
    EXPECT_EQ(statusLine(connection.readAnswer()), "HTTP/1.1 405 Method Not Allowed");
    connection.send("GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const std::string next = connection.readAnswer();
    EXPECT_EQ(statusLine(next), "HTTP/1.1 200 OK");
    EXPECT_EQ(bodyOf(next), "Tollwick Player Backend");
}

TEST_F(RequestLimits, ALeaveToSendTheBodyIsGivenOnce) {
    const std::string form = "--b\r\nContent-Disposition: form-data; name=\"other\"\r\n\r\nx\r\n--b--\r\n";
    struct Case {
        const char* what;
        std::string head;
        std::string body;
        const char* answer;
    };
    const std::vector<Case> cases{
        {"a change", "POST /db/settings/update HTTP/1.1\r\nContent-Length: 2\r\n", "{}", "true"},
        {"a login", "POST /auth/login HTTP/1.1\r\nContent-Length: 2\r\n", "{}",
         "The login needs the password as text in userPassword"},
        {"an upload",
         "POST /upload HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
             std::to_string(form.size()) + "\r\n",
         form, "No file part"},
    };
    for (const Case& c : cases) {
        RawConnection connection(port, c.head + "Host: 127.0.0.1\r\nExpect: 100-continue\r\n\r\n");
        EXPECT_EQ(connection.readThrough("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n") << c.what;
        connection.send(c.body);
        const std::string answer = connection.readAnswer();
        EXPECT_EQ(bodyOf(answer), c.answer) << c.what;
        EXPECT_EQ(answer.find("100 Continue"), std::string::npos) << c.what;
    }
    // Refused before its body, a request gets no leave to send it.
    Browser owner = browser();
    setPassword(owner, "pw");
    RawConnection refused(port, "POST /db/settings/update HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n"
                                "Expect: 100-continue\r\n\r\n");
    const std::string head = refused.readThrough("\r\n\r\n");
    EXPECT_TRUE(head.starts_with("HTTP/1.1 400 Bad Request\r\n")) << head;
}

TEST_F(RequestLimits, PipelinedRequestsAreAnsweredInOrder) {
    const std::string whoami = "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    RawConnection connection(port, whoami +
                                       "\r\nPOST /db/settings/update HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                       "Content-Length: 2\r\n\r\n{}" +
                                       whoami + "Connection: close\r\n\r\n");
    std::string all;
    for (std::string part; !(part = connection.readAnswer()).empty();)
        all += part;
    const std::regex answer("HTTP/1\\.1 200 OK\r\n[\\s\\S]*?\r\n\r\n(Tollwick Player Backend|true)");
    std::vector<std::string> bodies;
    for (std::sregex_iterator it(all.begin(), all.end(), answer), end; it != end; ++it)
        bodies.push_back((*it)[1]);
    EXPECT_EQ(bodies, (std::vector<std::string>{"Tollwick Player Backend", "true", "Tollwick Player Backend"})) << all;
    // The kept connection tells how long it may stay idle, so that no client sends into its close;
    // the last answer closes it instead.
    const std::regex idle("\r\nKeep-Alive: timeout=2\r\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(all.begin(), all.end(), idle), std::sregex_iterator()), 2) << all;
    const std::regex close("\r\nConnection: close\r\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(all.begin(), all.end(), close), std::sregex_iterator()), 1) << all;
}

TEST_F(RequestLimits, SlowClientsFromOneAddressHoldUpNobodyElse) {
    Browser owner = browser();
    setPassword(owner, "pw");
    // 64 connections that send their head a byte at a time, five times a second: a trickle that
    // never lets a read wait long, so only a deadline for the whole head ends it.
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < 64; ++i)
        slow.push_back(std::make_unique<RawConnection>(port, "GET /api/get/status HTTP/1.1\r\nHo"));
    std::atomic<bool> trickling{true};
    std::thread trickler([&] {
        while (trickling) {
            for (auto& connection : slow)
                connection->send("s");
            std::this_thread::sleep_for(200ms);
        }
    });

    const auto start = std::chrono::steady_clock::now();
    RawConnection other(port,
                        "GET /api/get/status HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: session=" + owner.cookie +
                            "\r\nConnection: close\r\n\r\n",
                        "127.0.0.2");
    const std::string answer = other.readAnswer();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::cout << "a logged-in request beside 64 slow clients: " << took.count() << " ms\n";
    EXPECT_EQ(statusLine(answer), "HTTP/1.1 200 OK") << answer;
    // No worker waits for a slow head, so the answer does not queue behind them.
    EXPECT_LT(took, 1s);

    // Their heads are due 10 s after they began; then they are answered 408 and closed.
    for (auto& connection : slow)
        EXPECT_TRUE(connection->closedByServer(20s));
    trickling = false;
    trickler.join();
}

TEST_F(RequestLimits, AHeldDocumentLockNeitherStopsAcceptingNorTakesEveryWorker) {
    const std::string db = "GET /db HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::vector<std::unique_ptr<RawConnection>> waiting;
    std::unique_lock held(docs.mutex);
    // A change whose login is checked before its body: that waits for the lock on a worker.
    waiting.push_back(std::make_unique<RawConnection>(
        port, "POST /db/settings/update HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\n{}", "127.0.0.5"));
    ASSERT_TRUE(eventually([&] { return app.load().busyWorkers == 1; }));
    // Two addresses that ask for more than their share: each gets five workers, the rest waits.
    for (const char* from : {"127.0.0.2", "127.0.0.3"})
        for (int i = 0; i < 8; ++i)
            waiting.push_back(std::make_unique<RawConnection>(port, db, from));
    ASSERT_TRUE(eventually([&] { return app.load().busyWorkers == 11 && app.load().queued == 6; }))
        << app.load().busyWorkers << " busy, " << app.load().queued << " waiting";
    RawConnection other(port, "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", "127.0.0.4");
    EXPECT_EQ(bodyOf(other.readAnswer()), "Tollwick Player Backend");
    held.unlock();
    EXPECT_EQ(bodyOf(waiting.front()->readAnswer()), "true");
    for (std::size_t i = 1; i < waiting.size(); ++i)
        EXPECT_EQ(statusLine(waiting[i]->readAnswer()), "HTTP/1.1 200 OK") << i;
}

TEST_F(RequestLimits, ASchoolBehindOneAddressIsServedWithoutErrors) {
    std::vector<std::future<int>> clients;
    for (int c = 0; c < 8; ++c) {
        clients.push_back(std::async(std::launch::async, [this] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_read_timeout(20s);
            int ok = 0;
            for (int i = 0; i < 40; ++i) {
                const auto answer = client.Get(i % 2 ? "/api/get/overview" : "/db");
                ok += answer && answer->status == 200;
            }
            return ok;
        }));
    }
    for (auto& client : clients)
        EXPECT_EQ(client.get(), 40);
}

TEST_F(RequestLimits, ConnectionsBeyondTheAddressesShareAre503) {
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 128; ++i)
        held.push_back(std::make_unique<RawConnection>(port, ""));
    // The front takes them in as it polls; the next one beyond the share is refused.
    std::string refused;
    for (int attempt = 0; attempt < 100 && refused.empty(); ++attempt) {
        RawConnection extra(port, "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        const std::string answer = extra.readAnswer();
        if (answer.starts_with("HTTP/1.1 503"))
            refused = answer;
    }
    EXPECT_NE(refused.find("Retry-After: 1"), std::string::npos) << refused;
    RawConnection other(port, "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", "127.0.0.2");
    EXPECT_EQ(statusLine(other.readAnswer()), "HTTP/1.1 200 OK");
}

} // namespace
