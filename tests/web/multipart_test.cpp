// Multipart form bodies read as they arrive, in pieces of any size.
#include <gtest/gtest.h>

#include "web/http/multipart.h"

using namespace tollwick::web;

namespace {

// "name/filename=bytes" of each part, in order.
struct Seen : MultipartReader::Parts {
    std::vector<std::string> parts;
    bool beginPart(std::string name, std::string filename) override {
        parts.push_back(name + "/" + filename + "=");
        return true;
    }
    bool partData(std::string_view bytes) override {
        parts.back() += bytes;
        return true;
    }
};

struct Outcome {
    MultipartReader::State state;
    std::vector<std::string> parts;
    bool operator==(const Outcome&) const = default;
};

Outcome read(std::string_view body, std::size_t piece) {
    Seen seen;
    MultipartReader reader("b", seen);
    for (std::size_t at = 0; at < body.size(); at += piece)
        reader.feed(body.substr(at, piece));
    return {reader.state(), seen.parts};
}

using State = MultipartReader::State;
const std::string FILE_HEAD = "Content-Disposition: form-data; name=\"file\"; filename=\"Gong.WAV\"\r\n";

TEST(Multipart, PartsAreTheSameWhateverThePieces) {
    struct Case {
        const char* what;
        std::string body;
        Outcome outcome;
    };
    const std::vector<Case> cases{
        {"a file and a field",
         "--b\r\n" + FILE_HEAD +
             "Content-Type: audio/wav\r\n\r\nRIFF --b\r\n-b\r\n--b\r\n"
             "content-disposition: form-data; name=programName\r\n\r\nAssembly\r\n--b--\r\n",
         {State::COMPLETE, {"file/Gong.WAV=RIFF --b\r\n-b", "programName/=Assembly"}}},
        {"preamble, padding and epilogue",
         "ignored\r\n--b  \r\n" + FILE_HEAD + "\r\n\r\n--b--epilogue",
         {State::COMPLETE, {"file/Gong.WAV="}}},
        {"quotes escaped in a name",
         "--b\r\nContent-Disposition: form-data; name=\"a\\\"b\"; filename=\"C:\\dir\\x.wav\"\r\n\r\n1\r\n--b--",
         {State::COMPLETE, {"a\"b/C:\\dir\\x.wav=1"}}},
        {"not ended", "--b\r\n" + FILE_HEAD + "\r\nRIFF and more", {State::READING, {"file/Gong.WAV=RIFF and "}}},
        {"no disposition", "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b--", {State::MALFORMED, {}}},
        {"no name", "--b\r\nContent-Disposition: form-data; filename=\"x\"\r\n\r\nx\r\n--b--", {State::MALFORMED, {}}},
        {"another disposition",
         "--b\r\nContent-Disposition: attachment; name=\"x\"\r\n\r\nx\r\n--b--",
         {State::MALFORMED, {}}},
        {"junk after a boundary", "--b junk\r\n" + FILE_HEAD + "\r\nx\r\n--b--", {State::MALFORMED, {}}},
        {"padding past the bound", "--b" + std::string(65, '\t') + "\r\n" + FILE_HEAD + "\r\nx\r\n--b--",
         {State::MALFORMED, {}}},
        {"padding at the bound", "--b" + std::string(64, ' ') + "\r\n" + FILE_HEAD + "\r\nx\r\n--b--",
         {State::COMPLETE, {"file/Gong.WAV=x"}}},
        {"a head at the bound",
         "--b\r\n" + FILE_HEAD + "X:" + std::string(MultipartReader::MAX_PART_HEAD_BYTES - FILE_HEAD.size() - 2, 'a') +
             "\r\n\r\nx\r\n--b--",
         {State::COMPLETE, {"file/Gong.WAV=x"}}},
        {"a head too large",
         "--b\r\n" + FILE_HEAD + "X: " + std::string(9000, 'a') + "\r\n\r\nx\r\n--b--",
         {State::MALFORMED, {}}},
    };
    for (const Case& c : cases)
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, c.body.size()}) {
            const Outcome got = read(c.body, piece);
            EXPECT_EQ(got.state, c.outcome.state) << c.what << " in pieces of " << piece;
            EXPECT_EQ(got.parts, c.outcome.parts) << c.what << " in pieces of " << piece;
        }
}

TEST(Multipart, PartsBeyondTheBoundAreMalformed) {
    std::string body;
    for (std::size_t i = 0; i <= MultipartReader::MAX_PARTS; ++i)
        body += "--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nx\r\n";
    const Outcome got = read(body + "--b--", 4096);
    EXPECT_EQ(got.state, State::MALFORMED);
    EXPECT_EQ(got.parts.size(), MultipartReader::MAX_PARTS);
}

TEST(Multipart, TheBoundaryOfAContentType) {
    EXPECT_EQ(multipartBoundary("multipart/form-data; boundary=----x1"), "----x1");
    EXPECT_EQ(multipartBoundary("Multipart/Form-Data;charset=utf-8; BOUNDARY=\"a b\""), "a b");
    for (const char* refused : {"multipart/form-data", "multipart/mixed; boundary=x", "text/plain; boundary=x",
                                "multipart/form-data; boundary=", "multipart/form-data; boundary=\"\""})
        EXPECT_EQ(multipartBoundary(refused), std::nullopt) << refused;
    EXPECT_EQ(multipartBoundary("multipart/form-data; boundary=" + std::string(71, 'x')), std::nullopt);
}

} // namespace
