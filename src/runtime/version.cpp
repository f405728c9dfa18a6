#include "runtime/version.h"

#include "runtime/child_process.h"
#include "runtime/errors.h"
#include "runtime/paths.h"

#include <array>
#include <fstream>
#include <string_view>

namespace tollwick {
namespace {

std::string trimmed(std::string_view text) {
    constexpr std::string_view whitespace = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(whitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(whitespace) - first + 1));
}

std::string readVersionFile() {
    const std::string file = getAssetPath("version.info");
    std::ifstream in(file);
    if (!in) {
        throw Error("cannot open the version file " + file);
    }
    std::string content;
    std::array<char, 4096> buffer{};
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
        content.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw Error("cannot read the version file " + file);
    }
    return content;
}

} // namespace

std::string getVersion() {
    if (isRelease()) {
        return trimmed(readVersionFile());
    }
    const ProcessOutput git = runProcess({"git", "describe", "--always", "--dirty"});
    return git.exitStatus == 0 ? trimmed(git.out) : "?";
}

} // namespace tollwick
