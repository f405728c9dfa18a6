#pragma once
// A fresh, empty directory for one test, removed with everything in it afterwards.
#include <filesystem>
#include <random>
#include <string>

namespace tollwick::test {

class TempDir {
public:
    TempDir() {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            std::filesystem::path candidate = base / ("tollwick-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                // Resolved, because the code under test answers resolved paths and /tmp may be a link.
                _path = std::filesystem::canonical(candidate);
                return;
            }
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }

    const std::filesystem::path& path() const { return _path; }

private:
    std::filesystem::path _path;
};

} // namespace tollwick::test
