#pragma once
// Process-wide state that a test changes for its own duration and puts back afterwards:
// environment variables, the working directory and the run layout.
#include "runtime/run_layout.h"
#include "support/environment.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace tollwick::test {

// Sets `name` to `value`, or unsets it when given none.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : _name(std::move(name)) {
        if (const char* old = std::getenv(_name.c_str())) {
            _old = old;
        }
        apply(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { apply(_old); }

private:
    void apply(const std::optional<std::string>& value) { setEnvironmentVariable(_name, value); }

    std::string _name;
    std::optional<std::string> _old;
};

class ScopedCurrentPath {
public:
    explicit ScopedCurrentPath(const std::filesystem::path& directory) : _old(std::filesystem::current_path()) {
        std::filesystem::current_path(directory);
    }
    ScopedCurrentPath(const ScopedCurrentPath&) = delete;
    ScopedCurrentPath& operator=(const ScopedCurrentPath&) = delete;
    ~ScopedCurrentPath() { std::filesystem::current_path(_old); }

private:
    std::filesystem::path _old;
};

class ScopedRunLayout {
public:
    explicit ScopedRunLayout(RunLayout layout) { setRunLayoutForTesting(std::move(layout)); }
    ScopedRunLayout(const ScopedRunLayout&) = delete;
    ScopedRunLayout& operator=(const ScopedRunLayout&) = delete;
    ~ScopedRunLayout() { setRunLayoutForTesting(std::nullopt); }
};

} // namespace tollwick::test
