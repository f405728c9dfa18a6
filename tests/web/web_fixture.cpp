#include "web_fixture.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "runtime/paths.h"

namespace tollwick::test {

namespace fs = std::filesystem;

Browser::Browser(int port) : _client("127.0.0.1", port) {
    _client.set_connection_timeout(std::chrono::seconds(5));
    _client.set_read_timeout(std::chrono::seconds(20));
}

httplib::Headers Browser::headers() const {
    if (cookie.empty())
        return {};
    return {{"Cookie", "session=" + cookie}};
}

httplib::Result Browser::remember(httplib::Result result) {
    if (result && result->has_header("Set-Cookie")) {
        lastSetCookie = result->get_header_value("Set-Cookie");
        const std::string prefix = "session=";
        if (lastSetCookie.starts_with(prefix))
            cookie = lastSetCookie.substr(prefix.size(), lastSetCookie.find(';') - prefix.size());
    }
    return result;
}

httplib::Result Browser::get(const std::string& path) {
    return remember(_client.Get(path, headers()));
}

httplib::Result Browser::post(const std::string& path, const std::string& body, const std::string& contentType) {
    return remember(_client.Post(path, headers(), body, contentType));
}

httplib::Result Browser::upload(const httplib::MultipartFormDataItems& items, const std::string& path) {
    return remember(_client.Post(path, headers(), items));
}

AnnouncementService::AnnouncementService() {
    _server.Get("/api/player/v1", [this](const httplib::Request& req, httplib::Response& res) {
        ++_requests;
        std::this_thread::sleep_for(std::chrono::milliseconds(_delayMs.load()));
        std::scoped_lock lock(_mutex);
        const auto offer = _offers.find(req.get_param_value("id"));
        if (req.get_param_value("c") != "downloadAnnouncement" || offer == _offers.end()) {
            res.status = 404;
            res.set_content("no such announcement", "text/plain");
            return;
        }
        res.set_content(offer->second, "audio/mpeg");
    });
    _port = _server.bind_to_any_port("127.0.0.1");
    _thread = std::thread([this] { _server.listen_after_bind(); });
    while (!_server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

AnnouncementService::~AnnouncementService() {
    shutDown();
}

void AnnouncementService::shutDown() {
    _server.stop();
    if (_thread.joinable())
        _thread.join();
}

void AnnouncementService::offer(const std::string& id, std::string bytes) {
    std::scoped_lock lock(_mutex);
    _offers[id] = std::move(bytes);
}

Json jsonOf(const httplib::Result& answer) {
    if (!answer)
        return nullptr;
    return Json::parse(answer->body, nullptr, false);
}

std::vector<std::string> keysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items())
        keys.push_back(key);
    return keys;
}

std::string outcome(const httplib::Result& answer) {
    if (!answer)
        return "no answer";
    if (answer->status == 302)
        return "302 " + answer->get_header_value("Location");
    return std::to_string(answer->status) + " " + answer->body;
}

RawConnection::RawConnection(int port, const std::string& text, const std::string& from)
    : _fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    timeval timeout{5, 0};
    ::setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    ::bind(_fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        send(text);
}

RawConnection::~RawConnection() {
    ::close(_fd);
}

bool RawConnection::send(const std::string& text) {
    ssize_t n = 0;
    while ((n = ::send(_fd, text.data(), text.size(), MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return n == static_cast<ssize_t>(text.size());
}

// A read that a signal does not end: the answer may still be on its way. (A signal reaches the
// test's threads when the process is traced, as under a debugger, whenever a child process ends.)
long RawConnection::receive(char* buffer, std::size_t size, int flags) {
    ssize_t n = 0;
    while ((n = ::recv(_fd, buffer, size, flags)) < 0 && errno == EINTR) {
    }
    return n;
}

bool RawConnection::closedByServer(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < until) {
        pollfd entry{_fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        const ssize_t n = receive(buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return true;
    }
    return false;
}

std::string RawConnection::readAnswer() {
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = receive(buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(n));
        const std::size_t headEnd = answer.find("\r\n\r\n");
        if (headEnd == std::string::npos)
            continue;
        const std::size_t length = answer.find("Content-Length: ");
        if (length != std::string::npos && length < headEnd &&
            answer.size() >= headEnd + 4 + std::stoul(answer.substr(length + 16)))
            break;
    }
    return answer;
}

std::string RawConnection::readThrough(std::string_view marker) {
    std::string got;
    char c = 0;
    while (!got.ends_with(marker) && receive(&c, 1, 0) == 1)
        got += c;
    return got;
}

std::string rawExchange(int port, const std::string& text) {
    return RawConnection(port, text).readAnswer();
}

WebTest::WebTest()
    : _dataEnv("TOLLWICK_DATA_DIR", _data.path().string()),
      _layout(RunLayout{false, _root.path(), _root.path() / "src"}),
      system(seams()) {
    fs::create_directories(htmlDir() / "assets");
    std::ofstream(htmlDir() / "index.html") << "<html>start page</html>";
    std::ofstream(htmlDir() / "favicon.ico", std::ios::binary) << std::string("\0\0\1\0icon", 8);
    std::ofstream(htmlDir() / "assets" / "app.js") << "console.log('app');";
    std::ofstream(secretFile()) << "secret";
    fs::create_symlink(secretFile(), htmlDir() / "leak.txt");
    fs::copy(fs::path(TOLLWICK_SOURCE_DIR) / "assets", assetDir(), fs::copy_options::recursive);

    system.loadDocuments();
    app.setSessionKey(system.sessionKey());
    {
        // The salt the key is made of counts as written: the tests start with no files but their own.
        std::scoped_lock lock(docs.mutex);
        docs.shadow.rememberContent();
    }
    port = app.bind("127.0.0.1", 0);
    if (port <= 0)
        throw std::runtime_error("the web test server cannot bind to 127.0.0.1");
    _serving = std::thread([this] { app.serve(); });
    while (!app.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

WebTest::~WebTest() {
    system.stop();
    _serving.join();
}

SystemSeams WebTest::seams() {
    SystemSeams seams{time.source(), recorder->factory(), service.baseUrl(),
                      ServiceTimeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(5000)}, {}};
    seams.clockState = [this] { return KernelClockState{clockSynchronised.load(), 4}; };
    seams.freeBytes = [this](const std::string&) { return std::optional<std::uint64_t>(freeDiskBytes.load()); };
    seams.alertTimings = AlertTimings{.attempt = std::chrono::seconds(2),
                                      .retryPauses = {std::chrono::milliseconds(50), std::chrono::milliseconds(50)}};
    return seams;
}

bool WebTest::saveDocumentsNow() {
    bool saved = true;
    saveChangedDocuments(docs, [&](std::string_view, const std::exception&) { saved = false; });
    return saved;
}

void WebTest::setPassword(Browser& b, const std::string& password) {
    const auto answer = b.post("/auth/chpasswd", Json(password).dump());
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200) << answer->body;
}

} // namespace tollwick::test
