#pragma once
// How each kind of field value is written to JSON, read back, fingerprinted and shown in the
// plain attribute form. Records (model/record.h) and MapDb (model/map_db.h) build on these.
//
// Every Codec<T> has:
//   static Json encode(const T&);          the JSON form
//   static T decode(const Json&);          typed: a value of the wrong JSON kind fails with DecodeError
//   static Fingerprint fingerprint(const T&);
//   static Json attributes(const T&);      the plain attribute form (a Date as {y, m, d})
#include <array>
#include <cmath>
#include <concepts>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/decode_error.h"
#include "model/fingerprint.h"
#include "model/json.h"

namespace tollwick {

template <class T>
struct Codec;

// Integer-valued enumerations list their members here, so decoding can refuse other numbers:
//   template <> struct EnumMembers<WorkdayMode> { static constexpr std::array values{...}; };
template <class E>
struct EnumMembers;

template <class E>
concept ListedEnum = std::is_enum_v<E> && requires {
    EnumMembers<E>::values;
};

// Enumerations written as text list each member with its text here:
//   template <> struct EnumTexts<TypeOfDay> { static constexpr std::array texts{std::pair{TypeOfDay::WORKDAY,
//   "WORKDAY"}, ...}; };
template <class E>
struct EnumTexts;

template <class E>
concept TextEnum = std::is_enum_v<E> && requires {
    EnumTexts<E>::texts;
};

// The text of a text-valued enumeration member.
template <TextEnum E>
constexpr std::string_view enumText(E value) noexcept {
    for (const auto& [member, text] : EnumTexts<E>::texts)
        if (member == value)
            return text;
    return {};
}

// Values with a text form of their own (times, dates, lessons).
template <class T>
concept TextCoded = requires(const T& v, std::string_view s) {
    { T::encode(v) } -> std::convertible_to<std::string>;
    { T::decode(s) } -> std::same_as<T>;
    { v.fingerprint() } -> std::convertible_to<Fingerprint>;
};

template <class T>
concept HasAttributes = requires(const T& v) {
    { v.attributes() } -> std::convertible_to<Json>;
};

namespace detail {
// A JSON number that is a whole number within I's range, as I.
template <class I>
std::optional<I> integralValue(const Json& j) {
    if (j.is_number_unsigned()) {
        const auto v = j.get<std::uint64_t>();
        if (v <= static_cast<std::uint64_t>(std::numeric_limits<I>::max()))
            return static_cast<I>(v);
    } else if (j.is_number_integer()) {
        const auto v = j.get<std::int64_t>();
        if (v >= std::numeric_limits<I>::min() && v <= std::numeric_limits<I>::max())
            return static_cast<I>(v);
    } else if (j.is_number_float()) {
        const double d = j.get<double>();
        if (std::trunc(d) == d && d >= static_cast<double>(std::numeric_limits<I>::min()) &&
            d <= static_cast<double>(std::numeric_limits<I>::max()))
            return static_cast<I>(d);
    }
    return std::nullopt;
}
} // namespace detail

template <>
struct Codec<std::string> {
    static Json encode(const std::string& v) { return v; }
    static std::string decode(const Json& j) {
        if (!j.is_string())
            throwWrongKind("a string", j);
        return j.get<std::string>();
    }
    static Fingerprint fingerprint(const std::string& v) noexcept { return scalarFingerprint(std::string_view(v)); }
    static Json attributes(const std::string& v) { return v; }
};

template <>
struct Codec<std::optional<std::string>> {
    static Json encode(const std::optional<std::string>& v) { return v ? Json(*v) : Json(nullptr); }
    static std::optional<std::string> decode(const Json& j) {
        if (j.is_null())
            return std::nullopt;
        if (!j.is_string())
            throwWrongKind("a string or null", j);
        return j.get<std::string>();
    }
    static Fingerprint fingerprint(const std::optional<std::string>& v) noexcept { return scalarFingerprint(v); }
    static Json attributes(const std::optional<std::string>& v) { return encode(v); }
};

template <>
struct Codec<bool> {
    static Json encode(bool v) { return v; }
    static bool decode(const Json& j) {
        if (!j.is_boolean())
            throwWrongKind("a boolean", j);
        return j.get<bool>();
    }
    static Fingerprint fingerprint(bool v) noexcept { return scalarFingerprint(v); }
    static Json attributes(bool v) { return v; }
};

template <class I>
requires(std::is_integral_v<I> && !std::is_same_v<I, bool>) struct Codec<I> {
    static Json encode(I v) { return v; }
    // A browser may write a whole number as 2.0; any other kind, or a fraction, is refused.
    static I decode(const Json& j) {
        if (j.is_number()) {
            if (auto v = detail::integralValue<I>(j))
                return *v;
            throw DecodeError("", "expected an integer, got " + j.dump());
        }
        throwWrongKind("an integer", j);
    }
    static Fingerprint fingerprint(I v) noexcept { return scalarFingerprint(v); }
    static Json attributes(I v) { return v; }
};

// A whole number or null (nothing).
template <class I>
requires(std::is_integral_v<I> && !std::is_same_v<I, bool>) struct Codec<std::optional<I>> {
    static Json encode(const std::optional<I>& v) { return v ? Json(*v) : Json(nullptr); }
    static std::optional<I> decode(const Json& j) {
        if (j.is_null())
            return std::nullopt;
        return Codec<I>::decode(j);
    }
    static Fingerprint fingerprint(const std::optional<I>& v) noexcept {
        return v ? hashMix(1, scalarFingerprint(*v)) : 0x9b05688c2b3e6c1fULL;
    }
    static Json attributes(const std::optional<I>& v) { return encode(v); }
};

template <>
struct Codec<double> {
    static Json encode(double v) { return v; }
    // Integers are accepted: a browser writes 1.0 as 1.
    static double decode(const Json& j) {
        if (!j.is_number())
            throwWrongKind("a number", j);
        return j.get<double>();
    }
    static Fingerprint fingerprint(double v) noexcept { return scalarFingerprint(v); }
    static Json attributes(double v) { return v; }
};

template <ListedEnum E>
struct Codec<E> {
    using Underlying = std::underlying_type_t<E>;
    static Json encode(E v) { return static_cast<Underlying>(v); }
    static E decode(const Json& j) {
        if (!j.is_number())
            throwWrongKind("an integer", j);
        if (auto v = detail::integralValue<Underlying>(j)) {
            for (E member : EnumMembers<E>::values)
                if (static_cast<Underlying>(member) == *v)
                    return member;
        }
        throw DecodeError("", j.dump() + " is not a valid choice");
    }
    static Fingerprint fingerprint(E v) noexcept { return scalarFingerprint(static_cast<Underlying>(v)); }
    static Json attributes(E v) { return encode(v); }
};

template <TextEnum E>
struct Codec<E> {
    static Json encode(E v) { return std::string(enumText(v)); }
    static E decode(const Json& j) {
        if (!j.is_string())
            throwWrongKind("a string", j);
        for (const auto& [member, text] : EnumTexts<E>::texts)
            if (j.get_ref<const std::string&>() == text)
                return member;
        throw DecodeError("", j.dump() + " is not a valid choice");
    }
    static Fingerprint fingerprint(E v) noexcept { return scalarFingerprint(std::string_view(enumText(v))); }
    static Json attributes(E v) { return encode(v); }
};

template <TextCoded T>
struct Codec<T> {
    static Json encode(const T& v) { return T::encode(v); }
    static T decode(const Json& j) {
        if (!j.is_string())
            throwWrongKind("a string", j);
        const auto& text = j.get_ref<const std::string&>();
        try {
            return T::decode(text);
        } catch (const DecodeError&) {
            throw;
        } catch (const Error& e) {
            const std::string detail = e.what();
            throw DecodeError("", "cannot read \"" + text + "\"" + (detail.empty() ? "" : ": " + detail));
        }
    }
    static Fingerprint fingerprint(const T& v) noexcept { return v.fingerprint(); }
    static Json attributes(const T& v) {
        if constexpr (HasAttributes<T>)
            return v.attributes();
        else
            return T::encode(v);
    }
};

template <class T>
struct Codec<std::vector<T>> {
    static Json encode(const std::vector<T>& v) {
        Json out = Json::array();
        for (const auto& item : v)
            out.push_back(Codec<T>::encode(item));
        return out;
    }
    static std::vector<T> decode(const Json& j) {
        if (!j.is_array())
            throwWrongKind("an array", j);
        std::vector<T> out;
        out.reserve(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) {
            try {
                out.push_back(Codec<T>::decode(j[i]));
            } catch (const DecodeError& e) {
                throw e.within("[" + std::to_string(i) + "]");
            }
        }
        return out;
    }
    // The length first, then every item in order.
    static Fingerprint fingerprint(const std::vector<T>& v) noexcept {
        Fingerprint h = hashOf(v.size());
        for (const auto& item : v)
            h = hashMix(h, Codec<T>::fingerprint(item));
        return h;
    }
    static Json attributes(const std::vector<T>& v) {
        Json out = Json::array();
        for (const auto& item : v)
            out.push_back(Codec<T>::attributes(item));
        return out;
    }
};

} // namespace tollwick
