#include "runtime/logging.h"

#include "runtime/journal_stream.h"

#include <filesystem>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

namespace tollwick {
namespace {

// "%*": the syslog priority of the line's level, as the journal reads it at the start of a line.
class SyslogPriority : public spdlog::custom_flag_formatter {
public:
    void format(const spdlog::details::log_msg& msg, const std::tm&, spdlog::memory_buf_t& dest) override {
        const std::string_view prefix = priorityOf(msg.level);
        dest.append(prefix.data(), prefix.data() + prefix.size());
    }
    std::unique_ptr<custom_flag_formatter> clone() const override { return std::make_unique<SyslogPriority>(); }

private:
    static std::string_view priorityOf(spdlog::level::level_enum level) {
        switch (level) {
        case spdlog::level::critical:
            return "<2>";
        case spdlog::level::err:
            return "<3>";
        case spdlog::level::warn:
            return "<4>";
        case spdlog::level::info:
            return "<6>";
        default:
            return "<7>";
        }
    }
};

} // namespace

void configureFileLogging(bool verbose, const std::string& path, std::size_t maxBytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(path, maxBytes, LOG_FILES_KEPT);
    auto logger = std::make_shared<spdlog::logger>("tollwick", std::move(sink));
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %-7l %v");
    logger->set_level(verbose ? spdlog::level::debug : spdlog::level::info);
    logger->flush_on(spdlog::level::debug);
    spdlog::set_default_logger(logger);
}

void configureLogging(bool verbose) {
    auto logger = spdlog::stderr_logger_mt("tollwick");
    if (stderrIsJournal()) {
        auto formatter = std::make_unique<spdlog::pattern_formatter>();
        formatter->add_flag<SyslogPriority>('*').set_pattern("%*%v");
        logger->set_formatter(std::move(formatter));
    } else {
        logger->set_pattern("%v");
    }
    logger->set_level(verbose ? spdlog::level::debug : spdlog::level::info);
    logger->flush_on(spdlog::level::debug);
    spdlog::set_default_logger(logger);
}

} // namespace tollwick
