#include "runtime/run_layout.h"

#include "runtime/platform.h"

#include <algorithm>
#include <mutex>

namespace tollwick {
namespace {

namespace fs = std::filesystem;

// Links are resolved as far as this process may look: the build tree compiled into the program
// may lie where the user running it cannot enter (a service's user and another user's home), and
// is then taken as written.
fs::path resolved(const fs::path& path) {
    std::error_code unreadable;
    fs::path result = fs::weakly_canonical(fs::absolute(path), unreadable);
    return unreadable ? fs::absolute(path).lexically_normal() : result;
}

// Compares whole components, so "/x/build-stage" does not count as inside "/x/build".
bool isInside(const fs::path& path, const fs::path& directory) {
    auto [directoryRest, pathRest] = std::mismatch(directory.begin(), directory.end(), path.begin(), path.end());
    return directoryRest == directory.end() && pathRest != path.end();
}

std::mutex testLayoutMutex; // guards testLayout
std::optional<RunLayout> testLayout;

} // namespace

RunLayout detectRunLayout(const fs::path& executable) {
    const fs::path program = resolved(executable);
    if (isInside(program, resolved(TOLLWICK_BINARY_DIR))) {
        const fs::path scriptDir = resolved(fs::path(TOLLWICK_SOURCE_DIR) / "src");
        return RunLayout{false, resolved(scriptDir / ".."), scriptDir};
    }
    return RunLayout{true, resolved(program.parent_path() / TOLLWICK_RESOURCES_FROM_PROGRAM), {}};
}

RunLayout currentRunLayout() {
    {
        std::scoped_lock lock(testLayoutMutex);
        if (testLayout) {
            return *testLayout;
        }
    }
    static const RunLayout detected = detectRunLayout(executablePath());
    return detected;
}

void setRunLayoutForTesting(std::optional<RunLayout> layout) {
    std::scoped_lock lock(testLayoutMutex);
    testLayout = std::move(layout);
}

} // namespace tollwick
