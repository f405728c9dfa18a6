#pragma once
// Records: plain structs with default member initialisers and one static table of their fields,
// in declaration order:
//
//   struct PlayDesc {
//       std::string id = "NULL";
//       bool doRepeat = false;
//       static constexpr auto fields = std::tuple{field("id", &PlayDesc::id), field("doRepeat", &PlayDesc::doRepeat)};
//   };
//
// Everything a record offers (JSON form and text, decoding, equality, fingerprint, attribute form,
// assignment by dotted field path) is written once here over that table. Positional construction
// is aggregate initialisation: omitted trailing fields keep their defaults.
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "model/codec.h"
#include "model/json_text.h"

namespace tollwick {

template <class C, class M>
struct Field {
    std::string_view name;
    M C::*member;
    using Value = M;
};

template <class C, class M>
constexpr Field<C, M> field(std::string_view name, M C::*member) noexcept {
    return {name, member};
}

// A member added after files were written without it: left out of the JSON and the attribute form
// while it holds its default, so that a record which does not use it reads as it always did.
template <class C, class M>
struct LaterField : Field<C, M> {};

template <class C, class M>
constexpr LaterField<C, M> laterField(std::string_view name, M C::*member) noexcept {
    return {{name, member}};
}

// Whether the field `f` of `v` is left out of the written forms.
template <class T, class F>
bool leftOut(const T& v, const F& f) {
    using M = typename F::Value;
    if constexpr (std::is_base_of_v<Field<T, M>, F> && !std::is_same_v<F, Field<T, M>>)
        return v.*f.member == M{};
    else
        return false;
}

template <class T>
concept Record = std::is_class_v<T> && requires { std::tuple_size<std::remove_cvref_t<decltype(T::fields)>>::value; };

template <class T, class F>
constexpr void forEachField(F&& fn) {
    std::apply([&](const auto&... f) { (fn(f), ...); }, T::fields);
}

template <class T>
constexpr std::size_t fieldCount() {
    return std::tuple_size_v<std::remove_cvref_t<decltype(T::fields)>>;
}

template <Record T>
struct Codec<T> {
    static Json encode(const T& v) {
        Json out = Json::object();
        forEachField<T>([&](const auto& f) {
            if (!leftOut(v, f))
                out[std::string(f.name)] = Codec<typename std::remove_cvref_t<decltype(f)>::Value>::encode(v.*f.member);
        });
        return out;
    }

    // Members that name no field are ignored; missing members keep the field's default.
    static T decode(const Json& j) {
        if (!j.is_object())
            throwWrongKind("an object", j);
        T out{};
        forEachField<T>([&](const auto& f) {
            using M = typename std::remove_cvref_t<decltype(f)>::Value;
            const auto it = j.find(f.name);
            if (it == j.end())
                return;
            try {
                out.*f.member = Codec<M>::decode(*it);
            } catch (const DecodeError& e) {
                throw e.within(f.name);
            }
        });
        return out;
    }

    // H(number of fields), then H(h, fingerprint of each field) in declaration order.
    static Fingerprint fingerprint(const T& v) noexcept {
        Fingerprint h = hashOf(fieldCount<T>());
        forEachField<T>([&](const auto& f) {
            h = hashMix(h, Codec<typename std::remove_cvref_t<decltype(f)>::Value>::fingerprint(v.*f.member));
        });
        return h;
    }

    static Json attributes(const T& v) {
        Json out = Json::object();
        forEachField<T>([&](const auto& f) {
            if (!leftOut(v, f))
                out[std::string(f.name)] =
                    Codec<typename std::remove_cvref_t<decltype(f)>::Value>::attributes(v.*f.member);
        });
        return out;
    }
};

// Field-wise equality of two records of the same type.
template <Record T>
bool operator==(const T& a, const T& b) {
    bool equal = true;
    forEachField<T>([&](const auto& f) { equal = equal && a.*f.member == b.*f.member; });
    return equal;
}

template <Record T>
Json to_dict(const T& record) {
    return Codec<T>::encode(record);
}

template <Record T>
std::string to_json(const T& record) {
    return toJsonText(Codec<T>::encode(record));
}

// Fails with DecodeError (an InvalidValueError) naming the field; nothing half-built escapes.
template <Record T>
T from_dict(const Json& data) {
    return Codec<T>::decode(data);
}

template <Record T>
T from_json(std::string_view text) {
    return Codec<T>::decode(parseJsonText(text));
}

template <Record T>
Fingerprint fingerprintOf(const T& record) noexcept {
    return Codec<T>::fingerprint(record);
}

// The plain attribute form: like the JSON form, but values with a text form of their own that are
// made of parts (Date, TimeOfDay, Lesson) are written as objects of those parts.
template <Record T>
Json toAttributes(const T& record) {
    return Codec<T>::attributes(record);
}

// Sets the field named by a dotted path ("calendar.workdayMode") to a JSON value, decoded and
// checked like any stored value. Returns false, changing nothing, when the last piece names no
// field; fails with KeyError when an inner piece names no nested record, and with DecodeError when
// the value does not fit the field.
template <Record T>
bool assignPath(T& target, std::string_view path, const Json& value) {
    const auto dot = path.find('.');
    const std::string_view head = path.substr(0, dot);
    const std::string_view rest = dot == std::string_view::npos ? std::string_view{} : path.substr(dot + 1);
    bool found = false;
    bool assigned = false;
    forEachField<T>([&](const auto& f) {
        using M = typename std::remove_cvref_t<decltype(f)>::Value;
        if (found || f.name != head)
            return;
        found = true;
        if (dot == std::string_view::npos) {
            try {
                target.*f.member = Codec<M>::decode(value);
            } catch (const DecodeError& e) {
                throw e.within(head);
            }
            assigned = true;
        } else if constexpr (Record<M>) {
            try {
                assigned = assignPath(target.*f.member, rest, value);
            } catch (const DecodeError& e) {
                throw e.within(head);
            }
        } else {
            throw KeyError("\"" + std::string(head) + "\" has no field \"" + std::string(rest) + "\"");
        }
    });
    if (!found && dot != std::string_view::npos)
        throw KeyError("No such field: \"" + std::string(head) + "\"");
    return assigned;
}

} // namespace tollwick
