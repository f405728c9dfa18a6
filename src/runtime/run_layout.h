#pragma once
// Where the running program finds its resources: an installed release, or a development run
// straight out of the build tree of a source checkout.
#include <filesystem>
#include <optional>

namespace tollwick {

struct RunLayout {
    bool release = false;
    // Holds "assets" and "web-ui"/"dist".
    std::filesystem::path assetRoot;
    // Development runs only: the code directory inside the source tree; its parent holds "userdata".
    std::filesystem::path devScriptDir;

    bool operator==(const RunLayout&) const = default;
};

// The layout for a program at `executable`. A program inside the build tree this library was
// built in is a development run rooted at that build's source tree; any other is a release
// installed as `cmake --install` lays it out: <prefix>/bin/<program> with its resources in
// <prefix>/<data subdirectory>, or on Windows the program with its resources beside it. All paths in the result are
// absolute with links resolved.
RunLayout detectRunLayout(const std::filesystem::path& executable);

// The layout of this process, detected from its own executable on first use, unless a test has
// put another in place.
RunLayout currentRunLayout();

// For tests only: makes currentRunLayout() answer `layout`, or the detected layout again when
// given none.
void setRunLayoutForTesting(std::optional<RunLayout> layout);

} // namespace tollwick
