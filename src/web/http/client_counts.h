#pragma once
// What each client address holds of the HTTP front: open connections, requests waiting for a
// worker, workers busy with its requests, and bytes of bodies held in memory. Entries go when they
// fall to nothing, so the table never holds more addresses than there are open connections.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace tollwick::web {

class ClientCounts {
public:
    struct Counts {
        std::size_t connections = 0;
        std::size_t queued = 0;
        std::size_t active = 0;
        std::uint64_t buffered = 0;
    };

    // Not locked by itself; the front guards it.
    Counts& at(const std::string& address) { return _byAddress[address]; }
    Counts get(const std::string& address) const {
        const auto it = _byAddress.find(address);
        return it == _byAddress.end() ? Counts{} : it->second;
    }
    void forgetIfIdle(const std::string& address) {
        const auto it = _byAddress.find(address);
        if (it != _byAddress.end() && it->second.connections == 0 && it->second.queued == 0 && it->second.active == 0 &&
            it->second.buffered == 0)
            _byAddress.erase(it);
    }
    // The address that holds the most connections, and how many; ("", 0) when there is none.
    std::pair<std::string, std::size_t> heaviest() const {
        std::pair<std::string, std::size_t> out{"", 0};
        for (const auto& [address, counts] : _byAddress)
            if (counts.connections > out.second)
                out = {address, counts.connections};
        return out;
    }
    std::size_t connections = 0; // in all
    std::size_t queued = 0;      // in all
    std::size_t active = 0;      // in all
    std::uint64_t buffered = 0;  // in all

private:
    std::unordered_map<std::string, Counts> _byAddress;
};

} // namespace tollwick::web
