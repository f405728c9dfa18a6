#include "support/alert_inbox.h"

#include "support/eventually.h"

namespace tollwick::test {

AlertInbox::AlertInbox(int status) : _status(status) {
    _server.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
        {
            std::scoped_lock lock(_mutex);
            _received.push_back(
                {req.target, req.get_header_value("Content-Type"), req.get_header_value("Title"), req.body});
        }
        res.status = _status;
        res.set_content("noted", "text/plain");
    });
    _port = _server.bind_to_any_port("127.0.0.1");
    _thread = std::thread([this] { _server.listen_after_bind(); });
    while (!_server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

AlertInbox::~AlertInbox() {
    shutDown();
}

void AlertInbox::shutDown() {
    _server.stop();
    if (_thread.joinable())
        _thread.join();
}

std::string AlertInbox::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(_port) + path;
}

std::vector<ReceivedAlert> AlertInbox::received() const {
    std::scoped_lock lock(_mutex);
    return _received;
}

bool AlertInbox::waitFor(std::size_t count, std::chrono::milliseconds limit) const {
    return eventually([&] { return received().size() >= count; }, limit);
}

std::string decodedHeader(const std::string& header) {
    const std::string start = "=?UTF-8?B?";
    if (!header.starts_with(start) || !header.ends_with("?="))
        return header;
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : header.substr(start.size(), header.size() - start.size() - 2)) {
        const std::size_t value = digits.find(c);
        if (value == std::string::npos)
            continue; // the padding
        bits = bits << 6 | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

} // namespace tollwick::test
