#include "web/http/response_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "web/http/request_head.h"

namespace tollwick::web {

namespace {

std::string headText(int status, std::string_view contentType, std::uint64_t length, const HeaderList& headers,
                     const AnswerFrame& frame) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
    text += "Content-Type: ";
    text += contentType;
    text += "\r\nContent-Length: " + std::to_string(length) + "\r\n";
    if (!frame.keepAlive) {
        text += "Connection: close\r\n";
    } else {
        if (frame.http10)
            text += "Connection: keep-alive\r\n";
        // How long the connection may stay idle: a client that knows it does not send its next
        // request into a connection that is being closed.
        if (frame.idleSeconds > 0)
            text += "Keep-Alive: timeout=" + std::to_string(frame.idleSeconds) + "\r\n";
    }
    for (const auto& header : headers) {
        const bool replaced = std::any_of(frame.always.begin(), frame.always.end(), [&](const auto& fixed) {
            return equalsIgnoringCase(fixed.first, header.first);
        });
        if (!replaced)
            text += header.first + ": " + header.second + "\r\n";
    }
    for (const auto& [name, value] : frame.always)
        text += name + ": " + value + "\r\n";
    text += "\r\n";
    return text;
}

std::optional<std::uint64_t> number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A file made for one answer goes once the answer is done with it, sent or not.
struct RemovedAfterwards {
    const Response& response;
    ~RemovedAfterwards() {
        if (!response.removeFileWhenSent || !response.file)
            return;
        std::error_code ignored;
        std::filesystem::remove(*response.file, ignored);
    }
};

bool writeFile(ConnectionIo& io, const Response& response, const AnswerFrame& frame) {
    std::ifstream in(*response.file, std::ios::binary);
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(*response.file, error);
    if (!in || error) {
        static constexpr std::string_view NOT_FOUND = "Not Found";
        return io.write(headText(404, PLAIN_TEXT, NOT_FOUND.size(), {}, frame)) &&
               (frame.headOnly || io.write(NOT_FOUND));
    }
    HeaderList headers = response.headers;
    headers.emplace_back("Accept-Ranges", "bytes");
    int status = response.status;
    std::uint64_t first = 0;
    std::uint64_t length = size;
    const std::optional<ByteRange> range =
        frame.range && status == 200 ? singleByteRange(*frame.range, size) : std::nullopt;
    if (range && range->unsatisfiable) {
        static constexpr std::string_view TEXT = "Range Not Satisfiable";
        headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        return io.write(headText(416, PLAIN_TEXT, TEXT.size(), headers, frame)) &&
               (frame.headOnly || io.write(TEXT));
    }
    if (range) {
        status = 206;
        first = range->first;
        length = range->last - range->first + 1;
        headers.emplace_back("Content-Range", "bytes " + std::to_string(range->first) + "-" +
                                                  std::to_string(range->last) + "/" + std::to_string(size));
    }
    if (!io.write(headText(status, response.contentType, length, headers, frame)))
        return false;
    if (frame.headOnly)
        return true;
    in.seekg(static_cast<std::streamoff>(first));
    std::array<char, 64 * 1024> piece;
    while (length > 0) {
        in.read(piece.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(length, piece.size())));
        const auto got = static_cast<std::size_t>(in.gcount());
        // A file that shrank while it was sent cannot keep the promised length: the connection ends.
        if (got == 0 || !io.write(piece.data(), got))
            return false;
        length -= got;
    }
    return true;
}

} // namespace

const char* reasonPhrase(int status) noexcept {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 421:
        return "Misdirected Request";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

std::string plainAnswerText(int status, std::string_view reason, const HeaderList& headers, const HeaderList& always) {
    return headText(status, PLAIN_TEXT, reason.size(), headers, AnswerFrame{always}) + std::string(reason);
}

bool writeResponse(ConnectionIo& io, const Response& response, const AnswerFrame& frame) {
    const RemovedAfterwards removal{response};
    if (response.file)
        return writeFile(io, response, frame);
    const std::string head = headText(response.status, response.contentType, response.body.size(), response.headers, frame);
    if (frame.headOnly || response.body.empty())
        return io.write(head);
    // Small answers go in one write.
    if (response.body.size() <= 16 * 1024)
        return io.write(head + response.body);
    return io.write(head) && io.write(response.body);
}

std::optional<ByteRange> singleByteRange(std::string_view header, std::uint64_t size) {
    if (!header.starts_with("bytes="))
        return std::nullopt;
    header.remove_prefix(6);
    const std::size_t dash = header.find('-');
    if (dash == std::string_view::npos || header.find(',') != std::string_view::npos)
        return std::nullopt;
    const std::string_view from = header.substr(0, dash);
    const std::string_view to = header.substr(dash + 1);
    ByteRange range;
    if (from.empty()) {
        // The last `to` bytes.
        const auto suffix = number(to);
        if (!suffix)
            return std::nullopt;
        if (*suffix == 0 || size == 0)
            return ByteRange{0, 0, true};
        range.first = size - std::min(*suffix, size);
        range.last = size - 1;
        return range;
    }
    const auto first = number(from);
    const auto last = to.empty() ? std::optional<std::uint64_t>(UINT64_MAX) : number(to);
    if (!first || !last || *last < *first)
        return std::nullopt;
    if (*first >= size)
        return ByteRange{0, 0, true};
    range.first = *first;
    range.last = std::min(*last, size - 1);
    return range;
}

} // namespace tollwick::web
