#include "support/log_capture.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace tollwick::test {

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<LogLine> lines() const {
        std::scoped_lock lock(_linesMutex);
        return _lines;
    }

    void clear() {
        std::scoped_lock lock(_linesMutex);
        _lines.clear();
    }

    bool waitFor(const LogLine& wanted, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(_linesMutex);
        return _added.wait_for(lock, timeout, [&] { return std::ranges::find(_lines, wanted) != _lines.end(); });
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        {
            std::scoped_lock lock(_linesMutex);
            _lines.push_back({message.level, std::string(message.payload.begin(), message.payload.end())});
        }
        _added.notify_all();
    }
    void flush_() override {}

private:
    mutable std::mutex _linesMutex;
    mutable std::condition_variable _added;
    std::vector<LogLine> _lines;
};

LogCapture::LogCapture() : _sink(std::make_shared<Sink>()), _previous(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("captured", _sink);
    logger->set_level(spdlog::level::trace);
    spdlog::set_default_logger(std::move(logger));
}

LogCapture::~LogCapture() {
    spdlog::set_default_logger(_previous);
}

std::vector<LogLine> LogCapture::lines() const {
    return _sink->lines();
}

std::vector<std::string> LogCapture::textsAt(spdlog::level::level_enum level) const {
    std::vector<std::string> texts;
    for (const LogLine& line : _sink->lines()) {
        if (line.level == level) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

bool LogCapture::contains(spdlog::level::level_enum level, const std::string& text) const {
    const std::vector<LogLine> all = _sink->lines();
    return std::ranges::find(all, LogLine{level, text}) != all.end();
}

bool LogCapture::waitFor(spdlog::level::level_enum level, const std::string& text,
                         std::chrono::milliseconds timeout) const {
    return _sink->waitFor({level, text}, timeout);
}

void LogCapture::clear() {
    _sink->clear();
}

} // namespace tollwick::test
