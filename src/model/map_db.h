#pragma once
// MapDb: an insertion-ordered map from string id to record, the container of songs, programmes,
// timetables and calendar regions. Ids made here are random version-4 UUIDs.
//
// References and pointers to entries stay valid until the next add or remove.
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/record.h"
#include "model/uuid.h"
#include "runtime/errors.h"

namespace tollwick {

template <class T>
bool alwaysTrue(const T&) noexcept {
    return true;
}

template <Record T>
class MapDb {
public:
    using Entry = std::pair<std::string, T>;
    using Filter = std::function<bool(const T&)>;

    // Stores `item` at the end under `key`, or under a new random id when `key` is empty.
    // Fails with KeyError "Key already exists" when the key is taken; nothing changes then.
    std::string add(T item, std::string key = {}) {
        if (key.empty())
            key = newUuid4();
        else if (contains(key))
            throw KeyError("Key already exists");
        _index.emplace(key, _entries.size());
        _entries.emplace_back(key, std::move(item));
        return key;
    }

    // Removes the entry and returns its item; a missing key fails with KeyError.
    T remove(const std::string& key) {
        const auto it = _index.find(key);
        if (it == _index.end())
            throw missing(key);
        const std::size_t pos = it->second;
        T item = std::move(_entries[pos].second);
        _entries.erase(_entries.begin() + static_cast<std::ptrdiff_t>(pos));
        _index.erase(it);
        for (std::size_t i = pos; i < _entries.size(); ++i)
            _index[_entries[i].first] = i;
        return item;
    }

    std::size_t size() const noexcept { return _entries.size(); }
    bool empty() const noexcept { return _entries.empty(); }
    bool contains(const std::string& key) const { return _index.contains(key); }

    // The value at a position in insertion order; negative positions count from the end.
    T& at(long long idx) { return _entries[position(idx)].second; }
    const T& at(long long idx) const { return _entries[position(idx)].second; }

    // Lookup by key; a missing key fails with KeyError.
    T& get(const std::string& key) { return _entries[indexOf(key)].second; }
    const T& get(const std::string& key) const { return _entries[indexOf(key)].second; }
    T* find(const std::string& key) {
        const auto it = _index.find(key);
        return it == _index.end() ? nullptr : &_entries[it->second].second;
    }
    const T* find(const std::string& key) const { return const_cast<MapDb*>(this)->find(key); }

    // Replaces the item under `key` in its place, or appends it under that key.
    void set(const std::string& key, T item) {
        if (T* existing = find(key))
            *existing = std::move(item);
        else
            add(std::move(item), key);
    }

    auto begin() noexcept { return _entries.begin(); }
    auto end() noexcept { return _entries.end(); }
    auto begin() const noexcept { return _entries.begin(); }
    auto end() const noexcept { return _entries.end(); }

    // The JSON form of every accepted item, each followed by the member "id" with its key.
    Json asTable(const Filter& filter = alwaysTrue<T>) const {
        Json rows = Json::array();
        for (const auto& [key, item] : _entries) {
            if (!filter(item))
                continue;
            Json row = Codec<T>::encode(item);
            row["id"] = key;
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // Replaces the whole content by the members of a JSON object, in their order; a member named
    // "" gets a new random id. `data` that is not an object fails with TypeError; a member that
    // cannot be decoded fails with DecodeError. Either way the content is left as it was.
    void fromDict(const Json& data) {
        if (!data.is_object())
            throw TypeError("fromDict: the argument 'data' must be a JSON object");
        *this = decode(data);
    }

    static MapDb decode(const Json& data) {
        if (!data.is_object())
            throwWrongKind("an object", data);
        MapDb out;
        out._entries.reserve(data.size());
        for (const auto& [key, value] : data.items()) {
            try {
                out.add(Codec<T>::decode(value), key);
            } catch (const DecodeError& e) {
                throw e.within(key);
            }
        }
        return out;
    }

    Json encode() const {
        Json out = Json::object();
        // Appended to the object's entries directly: the keys are unique already, and the
        // object's own insertion would search all earlier keys for each, quadratic in a large map.
        auto& members = static_cast<Json::object_t::Container&>(out.get_ref<Json::object_t&>());
        members.reserve(_entries.size());
        for (const auto& [key, item] : _entries)
            members.emplace_back(key, Codec<T>::encode(item));
        return out;
    }

    // H(number of entries), then H(g, key, fingerprint of value) for each entry in order.
    Fingerprint fingerprint() const noexcept {
        Fingerprint g = hashOf(_entries.size());
        for (const auto& [key, item] : _entries)
            g = hashMix(hashMix(g, scalarFingerprint(std::string_view(key))), Codec<T>::fingerprint(item));
        return g;
    }

    // Equal when both hold the same keys with equal items, as maps are.
    friend bool operator==(const MapDb& a, const MapDb& b) {
        if (a.size() != b.size())
            return false;
        for (const auto& [key, item] : a._entries) {
            const T* other = b.find(key);
            if (!other || !(*other == item))
                return false;
        }
        return true;
    }

private:
    static KeyError missing(const std::string& key) { return KeyError("Key not found: " + key); }

    std::size_t indexOf(const std::string& key) const {
        const auto it = _index.find(key);
        if (it == _index.end())
            throw missing(key);
        return it->second;
    }

    std::size_t position(long long idx) const {
        const auto n = static_cast<long long>(_entries.size());
        const long long pos = idx < 0 ? idx + n : idx;
        if (pos < 0 || pos >= n)
            throw IndexError("MapDb index out of range");
        return static_cast<std::size_t>(pos);
    }

    std::vector<Entry> _entries;
    std::unordered_map<std::string, std::size_t> _index;
};

template <class T>
struct Codec<MapDb<T>> {
    static Json encode(const MapDb<T>& v) { return v.encode(); }
    static MapDb<T> decode(const Json& j) { return MapDb<T>::decode(j); }
    static Fingerprint fingerprint(const MapDb<T>& v) noexcept { return v.fingerprint(); }
    static Json attributes(const MapDb<T>& v) {
        Json out = Json::object();
        for (const auto& [key, item] : v)
            out[key] = Codec<T>::attributes(item);
        return out;
    }
};

} // namespace tollwick
