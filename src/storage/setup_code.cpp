#include "storage/setup_code.h"

#include <cstdint>

#include "storage/atomic_file.h"
#include "storage/crypto.h"

namespace tollwick {

namespace {

std::string digitsOf(std::string_view text) {
    std::string digits;
    for (const char c : text)
        if (c != ' ' && c != '-' && c != '\t')
            digits += c;
    return digits;
}

} // namespace

std::string SetupCode::renew() {
    // 64 random bits make eight digits without a bias worth the name.
    const std::string random = secureRandomHex(8);
    std::uint64_t value = 0;
    for (const char c : random)
        value = value << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    std::string digits = std::to_string(value % 100'000'000);
    digits.insert(0, 8 - digits.size(), '0');
    {
        std::scoped_lock lock(_mutex);
        _digits = digits;
    }
    return text();
}

std::string SetupCode::text() const {
    std::scoped_lock lock(_mutex);
    return _digits.empty() ? std::string() : _digits.substr(0, 4) + "-" + _digits.substr(4);
}

void SetupCode::writeTo(const std::filesystem::path& file) const {
    writeFileAtomically(file, text() + "\n", true);
}

bool SetupCode::matches(std::string_view text) const {
    const std::string given = digitsOf(text);
    std::scoped_lock lock(_mutex);
    return !_digits.empty() && constantTimeEquals(given, _digits);
}

void SetupCode::retire(const std::filesystem::path& file) noexcept {
    {
        std::scoped_lock lock(_mutex);
        _digits.clear();
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

} // namespace tollwick
