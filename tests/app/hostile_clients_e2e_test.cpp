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

#include <httplib.h>

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

} // namespace
