// The HTTP frame: routing, answers, headers, serving on worker threads, request size.
#include <future>

#include "model/json_text.h"
#include "web_fixture.h"

using namespace tollwick;
using namespace tollwick::test;
using namespace std::chrono_literals;

namespace {

struct Frame : WebTest {};

std::string statusLine(const std::string& raw) {
    return raw.substr(0, raw.find("\r\n"));
}

TEST_F(Frame, FixedRoutesWinOverTheCatchAll) {
    Browser b = browser();
    const auto db = b.get("/db");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->status, 200);
    EXPECT_EQ(db->get_header_value("Content-Type"), "application/json");
    // A target with a dot is still a target, not a file of the interface.
    const auto dotted = b.get("/api/get/status.js");
    EXPECT_EQ(dotted->status, 400);
    EXPECT_EQ(dotted->body, "Unknown target: status.js");
    // Parameters are single segments: more segments belong to the catch-all.
    for (const char* page : {"/api/get/status/more", "/api/trigger/toggleAlarm", "/get_signal_file/a/b"}) {
        const auto answer = b.get(page);
        EXPECT_EQ(answer->status, 200) << page;
        EXPECT_EQ(answer->body, "<html>start page</html>") << page;
    }
    EXPECT_FALSE(alarm.isActive());
}

TEST_F(Frame, AGetOnAPostOnlyPathIsAnInterfacePage) {
    Browser b = browser();
    for (const char* path : {"/auth/login", "/auth/chpasswd", "/upload", "/db/timetables/create",
                             "/db/timetables/update/x", "/db/settings/update"}) {
        const auto answer = b.get(path);
        EXPECT_EQ(answer->status, 200) << path;
        EXPECT_EQ(answer->body, "<html>start page</html>") << path;
    }
    Browser first = browser();
    setPassword(first, "pw");
    const auto loggedOut = b.get("/auth/login");
    EXPECT_EQ(loggedOut->status, 302);
    EXPECT_EQ(loggedOut->get_header_value("Location"), "/login");
}

TEST_F(Frame, AMethodThatNoMatchingRouteAllowsIs405) {
    httplib::Client client("127.0.0.1", port);
    const auto postDb = client.Post("/db", "{}", "application/json");
    EXPECT_EQ(postDb->status, 405);
    EXPECT_EQ(postDb->get_header_value("Allow"), "GET, HEAD");
    const auto postPage = client.Post("/some/page", "x", "text/plain");
    EXPECT_EQ(postPage->status, 405);
    EXPECT_EQ(client.Post("/whoami", "", "text/plain")->status, 405);
    EXPECT_EQ(client.Post("/", "", "text/plain")->status, 405);
    EXPECT_EQ(client.Post("/api/trigger/toggleAlarm/x", "", "text/plain")->status, 405);
    const auto put = client.Put("/db/settings/update", "{}", "application/json");
    EXPECT_EQ(put->status, 405);
    EXPECT_EQ(put->get_header_value("Allow"), "GET, HEAD, POST");
    EXPECT_EQ(client.Delete("/db/timetables/update/x")->status, 405);
    EXPECT_EQ(client.Patch("/upload", "x", "text/plain")->status, 405);
    EXPECT_EQ(client.Options("/db")->status, 405);
    EXPECT_EQ(statusLine(rawExchange(port, "TRACE /db HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")),
              "HTTP/1.1 405 Method Not Allowed");
    EXPECT_FALSE(alarm.isActive()) << "a refused request runs no handler";
}

TEST_F(Frame, ARefusedRequestLeavesItsConnectionUsable) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    const std::string body(5000, 'x');
    EXPECT_EQ(client.Post("/db", body, "text/plain")->status, 405);
    const auto next = client.Get("/whoami");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200);
    EXPECT_EQ(next->body, "Tollwick Player Backend");
}

TEST_F(Frame, WhoAmIAnswersWithoutLoginAlsoWhileAPasswordIsSet) {
    Browser first = browser();
    setPassword(first, "pw");
    Browser stranger = browser();
    const auto answer = stranger.get("/whoami");
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->body, "Tollwick Player Backend");
    EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain; charset=utf-8");
}

TEST_F(Frame, EveryAnswerForbidsCaching) {
    Browser b = browser();
    std::vector<std::pair<std::string, httplib::Result>> answers;
    answers.emplace_back("json", b.get("/api/get/status"));
    answers.emplace_back("text", b.get("/whoami"));
    answers.emplace_back("page", b.get("/"));
    answers.emplace_back("file", b.get("/favicon.ico"));
    answers.emplace_back("audio", b.get("/get_signal_file/ID_ping"));
    answers.emplace_back("redirect", b.get("/login"));
    answers.emplace_back("bad request", b.get("/api/get/nothing"));
    answers.emplace_back("missing file", b.get("/missing.js"));
    answers.emplace_back("missing song", b.get("/get_signal_file/nothing"));
    answers.emplace_back("method", b.post("/db", "{}"));
    answers.emplace_back("not json", b.post("/db/settings/update", "{"));
    {
        // A genuine fault: the user-data directory cannot be made, so the upload cannot be stored.
        ScopedEnv broken("TOLLWICK_DATA_DIR", secretFile().string() + "/data");
        answers.emplace_back("fault", b.upload({{"file", "RIFF", "a.wav", "audio/wav"}}));
    }
    const std::vector<int> expected{200, 200, 200, 200, 200, 302, 400, 404, 404, 405, 400, 500};
    ASSERT_EQ(answers.size(), expected.size());
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const auto& [what, answer] = answers[i];
        ASSERT_TRUE(answer) << what;
        EXPECT_EQ(answer->status, expected[i]) << what << ": " << answer->body;
        EXPECT_EQ(answer->get_header_value_count("Cache-Control"), 1u) << what;
        EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0") << what;
        EXPECT_EQ(answer->get_header_value("Pragma"), "no-cache") << what;
        EXPECT_EQ(answer->get_header_value("Expires"), "0") << what;
    }
    // The fault is logged, and the browser only learns that something went wrong.
    EXPECT_EQ(answers.back().second->body, "Internal Server Error");
    bool logged = false;
    for (const auto& line : log.textsAt(spdlog::level::err))
        logged = logged || line.starts_with("Exception on /upload [POST]: ");
    EXPECT_TRUE(logged);
    // The server goes on.
    EXPECT_EQ(b.get("/whoami")->status, 200);
}

TEST_F(Frame, ErrorsOfTheServerItselfGetAPlainTextReason) {
    const std::string huge = rawExchange(port, "GET /" + std::string(10000, 'a') +
                                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                   "Connection: close\r\n\r\n");
    EXPECT_EQ(statusLine(huge), "HTTP/1.1 414 URI Too Long");
    EXPECT_NE(huge.find("Cache-Control: no-store, no-cache, must-revalidate, max-age=0"), std::string::npos) << huge;
    EXPECT_TRUE(huge.ends_with("414 URI Too Long")) << huge;
}

TEST_F(Frame, JsonAnswersAreTheSystemsJsonText) {
    Browser b = browser();
    const auto created = b.post("/db/timetables/create", R"({"name": "Órarend ✓ 𝄞"})");
    ASSERT_EQ(created->status, 200) << created->body;
    const auto table = b.get("/db/timetables");
    EXPECT_EQ(table->get_header_value("Content-Type"), "application/json");
    EXPECT_NE(table->body.find(R"("name": "\u00d3rarend \u2713 \ud834\udd1e")"), std::string::npos) << table->body;
    EXPECT_EQ(table->body.find('\n'), std::string::npos);
    for (const char c : table->body)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(table->body, toJsonText(db().timetables.asTable()));
    EXPECT_EQ(b.post("/db/settings/update", "{}")->body, "true");
}

TEST_F(Frame, ASlowClientOrAnIdleConnectionDoesNotHoldUpOthers) {
    // Three clients that never finish their request, and one that keeps its connection open.
    std::vector<std::unique_ptr<RawConnection>> stalled;
    for (int i = 0; i < 3; ++i)
        stalled.push_back(std::make_unique<RawConnection>(port, "GET /whoami HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    httplib::Client idle("127.0.0.1", port);
    idle.set_keep_alive(true);
    idle.set_read_timeout(2s);
    const auto first = idle.Get("/whoami");
    ASSERT_TRUE(first) << "no answer within 2 s";
    EXPECT_EQ(first->status, 200);
    std::this_thread::sleep_for(100ms);

    httplib::Client other("127.0.0.1", port);
    other.set_read_timeout(2s);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        const auto answer = other.Get("/api/get/status");
        ASSERT_TRUE(answer) << "no answer within 2 s";
        EXPECT_EQ(answer->status, 200);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(Frame, AnAnnouncementDownloadHoldsNeitherTheServerNorTheDocuments) {
    service.offer("slow", "ID3 announcement bytes");
    service.setDelay(1500ms);
    auto announcing = std::async(std::launch::async, [this] { return browser().get("/api/trigger/announce/slow"); });
    while (service.requests() == 0)
        std::this_thread::sleep_for(5ms);
    httplib::Client other("127.0.0.1", port);
    other.set_read_timeout(1s);
    const auto start = std::chrono::steady_clock::now();
    for (const auto& answer : {other.Get("/db"), other.Get("/api/get/overview"),
                               other.Post("/db/settings/update", R"({"alarmDelaySec": 2})", "application/json")}) {
        ASSERT_TRUE(answer) << "no answer within 1 s";
        EXPECT_EQ(answer->status, 200);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const auto done = announcing.get();
    EXPECT_EQ(done->status, 200) << done->body;
    EXPECT_EQ(done->body, "ok");
}

TEST_F(Frame, ConcurrentRequestsChangeTheDocumentsOneAtATime) {
    const std::size_t before = db().timetables.size();
    std::vector<std::future<int>> workers;
    for (int w = 0; w < 6; ++w) {
        workers.push_back(std::async(std::launch::async, [this, w] {
            Browser b = browser();
            int created = 0;
            for (int i = 0; i < 15; ++i) {
                const std::string name = "T" + std::to_string(w) + "-" + std::to_string(i);
                created += b.post("/db/timetables/create", "{\"name\": \"" + name + "\"}")->status == 200;
                b.post("/db/settings/update", "{\"alarmDelaySec\": " + std::to_string(w) + "}");
                b.get("/api/get/overview");
            }
            return created;
        }));
    }
    int created = 0;
    for (auto& w : workers)
        created += w.get();
    EXPECT_EQ(created, 90);
    std::scoped_lock lock(docs.mutex);
    EXPECT_EQ(db().timetables.size(), before + 90);
}

// The body of a multipart upload of `size` bytes of silence named big.wav, made as it is sent.
struct LargeUpload {
    std::size_t size;
    std::string head = "--bound\r\nContent-Disposition: form-data; name=\"file\"; filename=\"big.wav\"\r\n"
                       "Content-Type: audio/wav\r\n\r\n";
    std::string tail = "\r\n--bound--\r\n";

    std::size_t length() const { return head.size() + size + tail.size(); }
    bool write(std::size_t offset, std::size_t length, httplib::DataSink& sink) const {
        static const std::string zeros(1 << 20, '\0');
        std::string chunk;
        const std::size_t end = std::min(offset + std::min<std::size_t>(length, 1 << 20), this->length());
        for (std::size_t at = offset; at < end;) {
            if (at < head.size()) {
                chunk += head.substr(at, end - at);
                at = std::min(end, head.size());
            } else if (at < head.size() + size) {
                const std::size_t n = std::min(end, head.size() + size) - at;
                chunk.append(zeros.data(), n);
                at += n;
            } else {
                chunk += tail.substr(at - head.size() - size, end - at);
                at = end;
            }
        }
        return sink.write(chunk.data(), chunk.size());
    }
};

TEST_F(Frame, UploadsLargerThan100MiBAre413) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30s);
    client.set_write_timeout(30s);
    for (const std::size_t size : {std::size_t{100} * 1024 * 1024 + 1, std::size_t{102} * 1024 * 1024}) {
        const LargeUpload upload{size};
        const auto answer = client.Post(
            "/upload", {}, upload.length(),
            [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return upload.write(offset, length, sink);
            },
            "multipart/form-data; boundary=bound");
        ASSERT_TRUE(answer) << size;
        EXPECT_EQ(answer->status, 413) << size;
        EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0");
    }
    const std::size_t songs = db().songs.size();
    EXPECT_EQ(songs, 12u);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dataDir()))
        ++files;
    EXPECT_EQ(files, 0u) << "nothing is written";
}

} // namespace
