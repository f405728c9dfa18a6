// The log file of a run without a console: lines with their time, begun anew at its size, the
// older files kept up to their number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <spdlog/spdlog.h>

#include "runtime/logging.h"
#include "support/temp_dir.h"

using namespace tollwick;

TEST(FileLog, LinesCarryTheirTimeAndTheFileRotatesKeepingAFewOldOnes) {
    const auto before = spdlog::default_logger();
    test::TempDir dir;
    const std::filesystem::path path = dir.path() / "log" / "tollwick-player.log";
    configureFileLogging(false, path.string(), 2048);
    spdlog::debug("not at info level");
    spdlog::info("The bells ring");
    std::stringstream first;
    first << std::ifstream(path).rdbuf();
    EXPECT_TRUE(std::regex_match(first.str(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} info    The bells ring\n)")))
        << first.str();

    for (int i = 0; i < 400; ++i)
        spdlog::warn("line {} of a long run", i);
    spdlog::set_default_logger(before);
    for (std::size_t n = 1; n <= LOG_FILES_KEPT; ++n)
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "log" / ("tollwick-player." + std::to_string(n) + ".log"))) << n;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "log" / ("tollwick-player." + std::to_string(LOG_FILES_KEPT + 1) + ".log")));
    EXPECT_LE(std::filesystem::file_size(path), 2048u);
}
