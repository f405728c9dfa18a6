#include "audio/mci.h"

#include <spdlog/spdlog.h>

#include <atomic>
#include <charconv>

#include "audio/audio_decoders.h"
#include "runtime/errors.h"

namespace tollwick {

namespace {

// Sends `command` and answers whether MCI accepted it, without logging: a file that cannot be
// measured is an answer (-1), not an error.
bool quietly(const Mci& mci, const std::string& command, std::string& answer) {
    return mci.sendString(command, answer) == 0;
}

} // namespace

std::string mciCommand(const Mci& mci, const std::string& command) {
    std::string answer;
    const std::uint32_t status = mci.sendString(command, answer);
    if (status != 0) {
        const std::string message = "\n    Error " + std::to_string(status) + " for command:\n        " + command +
                                    "\n    " + mci.getErrorString(status);
        spdlog::error("{}", message);
        throw Error(message);
    }
    return answer;
}

double mciAudioSeconds(const Mci& mci, const std::string& path) {
    static std::atomic<std::uint64_t> counter{0};
    const std::string alias = "tollwickLength" + std::to_string(counter.fetch_add(1));
    std::string answer;
    if (!quietly(mci, "open \"" + path + "\" alias " + alias, answer))
        return UNMEASURABLE;
    double seconds = UNMEASURABLE;
    if (quietly(mci, "set " + alias + " time format milliseconds", answer) &&
        quietly(mci, "status " + alias + " length", answer)) {
        long long milliseconds = -1;
        const auto [end, error] = std::from_chars(answer.data(), answer.data() + answer.size(), milliseconds);
        if (error == std::errc() && end == answer.data() + answer.size() && milliseconds >= 0)
            seconds = static_cast<double>(milliseconds) / 1000.0;
    }
    quietly(mci, "close " + alias, answer);
    return seconds;
}

} // namespace tollwick
