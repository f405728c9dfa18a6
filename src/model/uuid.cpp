#include "model/uuid.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace tollwick {

std::string newUuid4() {
    thread_local std::mt19937_64 engine{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    std::uint64_t hi = engine();
    std::uint64_t lo = engine();
    hi = (hi & 0xffffffffffff0fffULL) | 0x0000000000004000ULL; // version 4
    lo = (lo & 0x3fffffffffffffffULL) | 0x8000000000000000ULL; // RFC 4122 variant
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xffff), static_cast<unsigned>(hi & 0xffff),
                  static_cast<unsigned>(lo >> 48), static_cast<unsigned long long>(lo & 0xffffffffffffULL));
    return buf;
}

} // namespace tollwick
