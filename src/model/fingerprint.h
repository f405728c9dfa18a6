#pragma once
// The content fingerprint used for change detection. It is an in-memory value only: stable
// within one run of the process, never written anywhere.
#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace tollwick {

using Fingerprint = std::uint64_t;

namespace detail {
constexpr std::uint64_t avalanche(std::uint64_t x) noexcept {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}
} // namespace detail

// H(h, v): mixes one more value into a running fingerprint; order matters. A multiply-rotate step:
// cheap enough to walk a whole database ten times a second, and thorough enough for telling
// whether anything changed.
constexpr Fingerprint hashMix(Fingerprint h, std::uint64_t v) noexcept {
    return (std::rotl(h, 23) ^ v) * 0x9e3779b97f4a7c15ULL;
}

// H(a, b, ...): the fingerprint of an ordered tuple of already hashed values.
template <class... Vs>
constexpr Fingerprint hashOf(Vs... values) noexcept {
    Fingerprint h = 0x6a09e667f3bcc909ULL;
    ((h = hashMix(h, static_cast<std::uint64_t>(values))), ...);
    return detail::avalanche(h);
}

inline Fingerprint scalarFingerprint(std::string_view s) noexcept { return std::hash<std::string_view>{}(s); }
inline Fingerprint scalarFingerprint(bool b) noexcept { return b ? 0x51ed270b2f3a8c1dULL : 0x2545f4914f6cdd1dULL; }
inline Fingerprint scalarFingerprint(double d) noexcept { return std::bit_cast<std::uint64_t>(d); }
template <class I>
    requires std::is_integral_v<I>
constexpr Fingerprint scalarFingerprint(I i) noexcept {
    return static_cast<std::uint64_t>(i);
}
inline Fingerprint scalarFingerprint(const std::optional<std::string>& s) noexcept {
    return s ? hashMix(1, scalarFingerprint(std::string_view(*s))) : 0x9b05688c2b3e6c1fULL;
}

} // namespace tollwick
