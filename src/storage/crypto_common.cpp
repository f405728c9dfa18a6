#include "storage/crypto.h"
#include "storage/hex.h"

namespace tollwick {

std::string toHex(const unsigned char* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0xf];
    }
    return out;
}

bool constantTimeEquals(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    // Every byte is looked at whatever the earlier ones were; volatile keeps the compiler from
    // ending the loop at the first difference.
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace tollwick
