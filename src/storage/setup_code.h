#pragma once
// The set-up code: while no password is set, a computer other than this one may set the first
// password only with this code, which changes at every start and is shown only where the
// machine's administrator looks: the process log and a file in the user-data directory that only
// its owner may read. It goes once a password is set.
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

namespace tollwick {

// The file in the user-data directory that holds the code.
inline constexpr const char* SETUP_CODE_FILE_NAME = "setup-code";

class SetupCode {
public:
    // Makes a new code ("4829-1173") and answers it.
    std::string renew();
    // Writes the code, with a line break, to `file`, readable by its owner only. Error when the
    // file cannot be written; the code holds all the same.
    void writeTo(const std::filesystem::path& file) const;

    // Whether `text` is the code, blanks and the dash aside; false while there is none. Takes
    // constant time for texts of the code's length.
    bool matches(std::string_view text) const;

    // Forgets the code and removes its file, also one a run before left behind.
    void retire(const std::filesystem::path& file) noexcept;

private:
    // The code as it is shown.
    std::string text() const;

    mutable std::mutex _mutex; // guards _digits
    std::string _digits;       // eight, or none
};

} // namespace tollwick
