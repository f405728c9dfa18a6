#pragma once
// A multipart/form-data body read as it arrives, in pieces of any size: the parts' names, file
// names and bytes are handed on as they come, and nothing is held but a part's head and a window
// as long as the boundary. Bounded: a part's head of at most MAX_PART_HEAD_BYTES, at most MAX_PARTS
// parts.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tollwick::web {

// The boundary a Content-Type of multipart/form-data names (quoted or not), or nothing when the type
// is another or the boundary is missing or longer than 70 characters.
std::optional<std::string> multipartBoundary(std::string_view contentType);

class MultipartReader {
public:
    static constexpr std::size_t MAX_PART_HEAD_BYTES = 8 * 1024;
    static constexpr std::size_t MAX_PARTS = 64;

    // What the reader hands the parts to; either answers false to stop the reading.
    class Parts {
    public:
        virtual ~Parts() = default;
        // A part begins: its form name and file name (empty for a text field).
        virtual bool beginPart(std::string name, std::string filename) = 0;
        // The next bytes of the current part.
        virtual bool partData(std::string_view bytes) = 0;
    };

    enum class State {
        READING,   // more of the body is expected
        COMPLETE,  // the closing boundary came; what follows it is ignored
        MALFORMED, // the body is not a multipart form (or exceeds the bounds)
        STOPPED,   // a callback asked to stop
    };

    MultipartReader(std::string boundary, Parts& parts);

    // Reads the next piece of the body; answers the state after it.
    State feed(std::string_view bytes);
    State state() const noexcept { return _state; }

private:
    enum class Step { PREAMBLE, AFTER_BOUNDARY, HEAD, DATA };
    // Reads what `_window` holds as far as it can; false when it needs more.
    bool advance();
    bool startPart(std::string_view head);

    std::string _delimiter; // CRLF "--" boundary
    Parts& _parts;
    State _state = State::READING;
    Step _step = Step::PREAMBLE;
    std::string _window; // bytes not yet handed on
    std::size_t _count = 0;
};

} // namespace tollwick::web
