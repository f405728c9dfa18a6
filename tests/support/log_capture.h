#pragma once
// Captures what the system logs, so that tests can check its exact lines and levels.
//
// While a LogCapture lives, the default spdlog logger is one that records every message (the text
// alone, as the "%v" pattern writes it, at every level down to debug) and writes nothing; its
// destructor puts the previous logger back. Replacing the default logger is not safe while another
// thread logs: create a LogCapture before any thread that logs is started, and let those threads
// end before it goes (declare it before a Player in a fixture, since members die in reverse order).
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

namespace tollwick::test {

struct LogLine {
    spdlog::level::level_enum level;
    std::string text;

    bool operator==(const LogLine&) const = default;
};

class LogCapture {
public:
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    // Every line logged so far, in order.
    std::vector<LogLine> lines() const;
    // The texts of the lines logged at `level`, in order.
    std::vector<std::string> textsAt(spdlog::level::level_enum level) const;
    bool contains(spdlog::level::level_enum level, const std::string& text) const;
    // Waits until a line with this level and text has been logged; false when `timeout` passed first.
    bool waitFor(spdlog::level::level_enum level, const std::string& text,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    void clear();

    class Sink;

private:
    std::shared_ptr<Sink> _sink;
    std::shared_ptr<spdlog::logger> _previous;
};

} // namespace tollwick::test
