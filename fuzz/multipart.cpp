// A multipart form body as the upload and restore routes read it, fed in pieces whose sizes the
// input chooses: the parts handed on must be the same whatever the pieces, and nothing may be
// read past a bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "web/http/multipart.h"

using namespace tollwick::web;

namespace {

struct Collected : MultipartReader::Parts {
    std::vector<std::string> names;
    std::string bytes;
    bool beginPart(std::string name, std::string filename) override {
        names.push_back(name + "\n" + filename);
        bytes += '|';
        return true;
    }
    bool partData(std::string_view data) override {
        bytes.append(data);
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first byte chooses the piece size, the rest is the body (boundary "fuzz").
    const std::size_t piece = data[0] % 64 + 1;
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    Collected whole;
    MultipartReader once("fuzz", whole);
    const MultipartReader::State onceState = once.feed(body);
    Collected pieces;
    MultipartReader inPieces("fuzz", pieces);
    for (std::size_t at = 0; at < body.size() && inPieces.state() == MultipartReader::State::READING; at += piece)
        inPieces.feed(body.substr(at, piece));
    if (inPieces.state() != onceState || pieces.names != whole.names)
        __builtin_trap();
    if (onceState != MultipartReader::State::MALFORMED && pieces.bytes != whole.bytes)
        __builtin_trap();
    if (whole.names.size() > MultipartReader::MAX_PARTS)
        __builtin_trap();
    return 0;
}
