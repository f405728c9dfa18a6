#include "runtime/logging.h"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

namespace tollwick {

void configureLogging(bool verbose) {
    auto logger = spdlog::stderr_logger_mt("tollwick");
    logger->set_pattern("%v");
    logger->set_level(verbose ? spdlog::level::debug : spdlog::level::info);
    logger->flush_on(spdlog::level::debug);
    spdlog::set_default_logger(logger);
}

} // namespace tollwick
