// Measures how long a request from one address waits while another address holds 64 connections
// that send their heads a byte at a time: the latency of 200 requests to "/api/get/status" from
// 127.0.0.2, with and without the slow connections from 127.0.0.1, on the real HTTP application.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/system.h"

using namespace tollwick;
using namespace std::chrono_literals;

namespace {

int connectFrom(const char* from, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &source.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

// Milliseconds from connecting to the end of the answer, for `count` requests one after another.
std::vector<double> latencies(int port, int count) {
    static const std::string request = "GET /api/get/status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int fd = connectFrom("127.0.0.2", port);
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        ::close(fd);
        out.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return out;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size() - 1))];
}

void print(const char* what, const std::vector<double>& ms) {
    std::printf("%-40s p50 %6.2f ms   p95 %6.2f ms   max %6.2f ms   (%zu requests)\n", what, percentile(ms, 50),
                percentile(ms, 95), percentile(ms, 100), ms.size());
}

} // namespace

int main() {
    const auto scratch = std::filesystem::temp_directory_path() / ("tollwick-bench-slow-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    ::setenv("TOLLWICK_DATA_DIR", scratch.c_str(), 1);
    ::setenv("TOLLWICK_SERVICE_URL", "http://127.0.0.1:9", 1);
    auto* system = new System(); // its threads outlive main's end
    system->loadDocuments();
    const int port = system->http().bind("127.0.0.1", 0);
    std::thread([system] { system->http().serve(); }).detach();
    while (!system->http().isRunning())
        std::this_thread::sleep_for(1ms);

    print("alone", latencies(port, 200));
    std::vector<int> slow;
    for (int i = 0; i < 64; ++i) {
        slow.push_back(connectFrom("127.0.0.1", port));
        ::send(slow.back(), "GET / HTTP/1.1\r\nHo", 18, MSG_NOSIGNAL);
    }
    std::atomic<bool> trickling{true};
    std::thread trickler([&] {
        while (trickling) {
            for (const int fd : slow)
                ::send(fd, "s", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(500ms);
        }
    });
    print("beside 64 slow clients from 127.0.0.1", latencies(port, 200));
    trickling = false;
    trickler.join();
    for (const int fd : slow)
        ::close(fd);
    std::filesystem::remove_all(scratch);
    std::fflush(stdout);
    std::_Exit(0);
}
