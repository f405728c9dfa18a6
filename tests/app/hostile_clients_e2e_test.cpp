// The real program under hostile requests from a client that is not logged in: it answers them,
// keeps answering everybody else, and its memory stays small whatever they send.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <sys/wait.h>

#include <httplib.h>

#include "support/eventually.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

using namespace tollwick::test;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t MiB = 1024 * 1024;

struct HostileClients : ::testing::Test {
    TempDir dir;
    int port = freePort();
    ServerProcess server{
        {"--port", std::to_string(port)},
        {"TOLLWICK_DATA_DIR=" + (dir.path() / "data").string(), "TOLLWICK_SERVICE_URL=http://127.0.0.1:9"},
        dir.path() / "server.log"};
};

// Sends `head`, then waits up to 10 s for the start of an answer, which must come before any of
// the body (unless `answerFirst` is false); then pushes `body` (`count` times) for as long as the
// server takes it, as an attacker would. Answers the status line.
std::string attack(int port, const std::string& head, const std::string& body, std::size_t count,
                   bool answerFirst = true) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size())) {
        pollfd entry{fd, POLLIN, 0};
        char buffer[4096];
        auto readAnswer = [&] {
            if (::poll(&entry, 1, 10000) == 1) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                answer.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
            }
        };
        if (answerFirst)
            readAnswer();
        for (std::size_t i = 0; i < count; ++i)
            if (::send(fd, body.data(), body.size(), MSG_NOSIGNAL) <= 0)
                break;
        if (!answerFirst)
            readAnswer();
    }
    ::close(fd);
    return answer.substr(0, answer.find("\r\n"));
}

TEST_F(HostileClients, BodiesAndHeadsOfAnySizeCostTheServerAlmostNothing) {
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    httplib::Client warm("127.0.0.1", port);
    for (const char* path : {"/", "/db", "/api/get/overview", "/whoami"})
        warm.Get(path);
    ASSERT_EQ(warm.Post("/auth/chpasswd", "\"pw\"", "application/json")->status, 200);
    const long baseline = memoryKiB(server.pid(), "VmHWM");
    ASSERT_GT(baseline, 0);

    std::atomic<bool> watching{true};
    std::atomic<int> answered{0}, missed{0};
    std::thread watcher([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(5s);
        while (watching) {
            const auto answer = client.Get("/whoami");
            (answer && answer->status == 200 ? answered : missed)++;
            std::this_thread::sleep_for(20ms);
        }
    });

    const std::string brackets(MiB, '[');
    const std::string host = "Host: 127.0.0.1\r\n";
    EXPECT_EQ(
        attack(port,
               "POST /auth/login HTTP/1.1\r\n" + host + "Content-Length: " + std::to_string(100 * MiB) + "\r\n\r\n",
               brackets, 100),
        "HTTP/1.1 413 Payload Too Large");
    EXPECT_EQ(attack(port, "POST /auth/login HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n",
                     "100000\r\n" + brackets + "\r\n", 100),
              "HTTP/1.1 411 Length Required");
    EXPECT_EQ(attack(port, "POST /auth/login HTTP/1.1\r\n" + host + "\r\n", brackets, 100),
              "HTTP/1.1 411 Length Required");
    EXPECT_EQ(attack(port, "GET / HTTP/1.1\r\n" + host + "X-Endless: ", std::string(MiB, 'a'), 8, false),
              "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_EQ(attack(port,
                     "POST /upload HTTP/1.1\r\n" + host + "Content-Length: " + std::to_string(100 * MiB) + "\r\n\r\n",
                     brackets, 100),
              "HTTP/1.1 400 Bad Request")
        << "an upload is refused before its body unless the browser is logged in";
    // The largest body the login takes, all brackets: refused by the nesting limit, not parsed.
    httplib::Client client("127.0.0.1", port);
    const auto nested = client.Post("/auth/login", std::string(4 * 1024, '['), "application/json");
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->status, 400);

    watching = false;
    watcher.join();
    const long peak = memoryKiB(server.pid(), "VmHWM");
    std::cout << "server memory: peak " << baseline / 1024 << " MiB before, " << peak / 1024 << " MiB after "
              << answered << " answers to /whoami\n";
    EXPECT_EQ(missed, 0);
    EXPECT_GT(answered, 0);
    EXPECT_LT(peak - baseline, 32 * 1024) << "KiB of peak memory added by the hostile requests";
}

// A connection from the loopback address `from` that sends nothing; -1 when refused.
int holdConnection(int port, const std::string& from) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST_F(HostileClients, AFloodOfConnectionsLeavesRoomForSavesAndOtherClients) {
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    // Five addresses, 110 connections each: more than the server keeps open in all.
    std::vector<int> held;
    for (int a = 1; a <= 5; ++a)
        for (int i = 0; i < 110; ++i)
            if (const int fd = holdConnection(port, "127.0.0." + std::to_string(a + 10)); fd >= 0)
                held.push_back(fd);
    EXPECT_GT(held.size(), 400u);

    // Another address is still answered, and a change still reaches the disk.
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5s);
    std::shared_ptr<httplib::Response> changed;
    for (int i = 0; i < 50 && !changed; ++i) {
        if (auto answer = client.Post("/db/settings/update", R"({"alarmDelaySec": 4})", "application/json"))
            changed = std::make_shared<httplib::Response>(*answer);
        else
            std::this_thread::sleep_for(100ms); // refused while the flood is taken in: try again
    }
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 200) << changed->body;
    const auto db = dir.path() / "data" / "_db.json";
    for (int i = 0; i < 100 && !std::filesystem::exists(db); ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(std::filesystem::exists(db)) << server.log();
    EXPECT_EQ(server.log().find("Scheduler thread error"), std::string::npos) << server.log();
    for (const int fd : held)
        ::close(fd);
}

TEST_F(HostileClients, ALargeUploadIsStreamedToDiskNotMemory) {
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    httplib::Client client("127.0.0.1", port);
    const auto set = client.Post("/auth/chpasswd", "\"pw\"", "application/json");
    ASSERT_EQ(set->status, 200);
    const std::string cookie =
        set->get_header_value("Set-Cookie").substr(0, set->get_header_value("Set-Cookie").find(';'));
    const long baseline = memoryKiB(server.pid(), "VmHWM");

    // A playable 16-bit PCM WAVE file: only a measurable sound is kept as a signal.
    const std::size_t size = 80 * MiB;
    const auto little = [](std::uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    };
    const auto dataBytes = static_cast<std::uint32_t>(size - 44);
    const std::string wave = "RIFF" + little(dataBytes + 36, 4) + "WAVEfmt " + little(16, 4) + little(1, 2) +
                             little(1, 2) + little(8000, 4) + little(16000, 4) + little(2, 2) + little(16, 2) + "data" +
                             little(dataBytes, 4);
    const std::string head =
        "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"big.wav\"\r\n\r\n" + wave;
    const std::string tail = "\r\n--b--\r\n";
    const std::string chunk(MiB, '\x55');
    client.set_write_timeout(30s);
    client.set_read_timeout(30s);
    const auto answer = client.Post(
        "/upload", {{"Cookie", cookie}}, head.size() - wave.size() + size + tail.size(),
        [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset == 0)
                return sink.write(head.data(), head.size());
            if (offset < head.size() - wave.size() + size)
                return sink.write(chunk.data(), std::min(chunk.size(), head.size() + size - wave.size() - offset));
            return sink.write(tail.data(), tail.size());
        },
        "multipart/form-data; boundary=b");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200) << answer->body;
    const std::string key = answer->body.substr(1, answer->body.size() - 2);
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "data" / (key + ".wav")), size);
    const long peak = memoryKiB(server.pid(), "VmHWM");
    std::cout << "server memory: peak " << baseline / 1024 << " MiB before, " << peak / 1024
              << " MiB after an upload of 80 MiB\n";
    EXPECT_LT(peak - baseline, 16 * 1024) << "KiB of peak memory added by the upload";
}

// A connection from `from` that has sent as much of `text` as the connection takes at once, and
// then waits; -1 when refused.
int sendAndHold(int port, const std::string& from, const std::string& text) {
    const int fd = holdConnection(port, from);
    if (fd >= 0)
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return fd;
}

// Whether the server has closed `fd` (reading and dropping what it sends), within `limit`.
bool closedByServer(int fd, std::chrono::milliseconds limit) {
    return eventually(
        [fd] {
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        },
        limit);
}

TEST_F(HostileClients, StalledBodiesFromManyAddressesNeitherLockOthersOutNorFillMemory) {
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    httplib::Client owner("127.0.0.1", port);
    ASSERT_EQ(owner.Post("/auth/chpasswd", "\"pw\"", "application/json")->status, 200);
    const long baseline = memoryKiB(server.pid(), "VmHWM");

    // Five addresses, a hundred connections each, more than the server keeps open: logins that
    // stop one byte short of their body, and changes that announce a megabyte and send most of it.
    const std::string host = "Host: 127.0.0.1\r\n";
    const std::string login =
        "POST /auth/login HTTP/1.1\r\n" + host + "Content-Length: 4096\r\n\r\n" + std::string(4095, ' ');
    const std::string change =
        "POST /db/settings/update HTTP/1.1\r\n" + host + "Content-Length: 1048576\r\n\r\n" + std::string(1048575, ' ');
    std::vector<int> flood;
    for (int a = 1; a <= 5; ++a)
        for (int i = 0; i < 100; ++i)
            if (const int fd = sendAndHold(port, "127.0.0." + std::to_string(a + 20), i % 2 ? login : change); fd >= 0)
                flood.push_back(fd);

    // Another address is answered at once, and its login is read and judged.
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(2s);
    const auto start = std::chrono::steady_clock::now();
    const auto whoami = client.Get("/whoami");
    const auto wrong = client.Post("/auth/login", R"({"userPassword": "no", "remember": false})", "application/json");
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(whoami && wrong) << "no answer within 2 s";
    EXPECT_EQ(whoami->body, "Tollwick Player Backend");
    EXPECT_EQ(wrong->body, "Login failed");
    const long peak = memoryKiB(server.pid(), "VmHWM");
    std::cout << flood.size() << " stalled bodies: answered another address in " << took.count()
              << " ms; server memory peak " << baseline / 1024 << " MiB before, " << peak / 1024 << " MiB after\n";
    EXPECT_LT(peak - baseline, 32 * 1024) << "KiB of peak memory added by the stalled bodies";

    // A body that stops is given up within seconds, however much of it came.
    std::size_t closed = 0;
    for (const int fd : flood)
        closed += closedByServer(fd, 15s);
    EXPECT_EQ(closed, flood.size());
    for (const int fd : flood)
        ::close(fd);
}

TEST(HostilePaths, LongPathsAreAnsweredOnASmallStack) {
    TempDir dir;
    const int port = freePort();
    // glibc gives threads the stack limit as their stack; 2 MiB is what they get with `ulimit -s unlimited`.
    ServerProcess server(
        {"--port", std::to_string(port)},
        {"TOLLWICK_DATA_DIR=" + (dir.path() / "data").string(), "TOLLWICK_SERVICE_URL=http://127.0.0.1:9"},
        dir.path() / "server.log", false, 2 * MiB);
    ASSERT_TRUE(server.waitUntilServing(port)) << server.log();
    std::string segments;
    for (int i = 0; i < 3000; ++i)
        segments += "/a";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"1,000 characters", "/" + std::string(1000, 'a') + ".js"},
        {"4,000 characters", "/" + std::string(4000, 'a')},
        {"8,000 characters", "/" + std::string(8000, 'a')},
        {"1,000 segments", segments.substr(0, 2000)},
        {"3,000 segments", segments},
    };
    for (const auto& [what, path] : cases) {
        httplib::Client client("127.0.0.1", port);
        const auto answer = client.Get(path);
        ASSERT_TRUE(answer) << what << ": " << server.log();
        EXPECT_TRUE(answer->status == 200 || answer->status == 404 || answer->status == 414)
            << what << ": " << answer->status;
        EXPECT_EQ(::waitpid(server.pid(), nullptr, WNOHANG), 0) << what << ": the server ended";
    }
    httplib::Client client("127.0.0.1", port);
    EXPECT_EQ(client.Get("/whoami")->body, "Tollwick Player Backend");
}

} // namespace
