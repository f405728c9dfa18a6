#include "storage/shadow.h"

#include <algorithm>

#include "storage/crypto.h"

namespace tollwick {

const std::string& Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty())
        _salt = secureRandomHex(32);
    return *_salt;
}

std::string Shadow::hashPassword(std::string_view salt, std::string_view password) {
    std::string salted(salt);
    salted += password;
    return getHash(salted);
}

std::string Shadow::_saltAndHash(std::string_view other) {
    return hashPassword(getCurrentSalt(), other);
}

void Shadow::setPassword(std::string_view userPassword) {
    _pwd = _saltAndHash(userPassword);
}

bool Shadow::isPasswordMatching(std::string_view userPassword) {
    const std::string hash = _saltAndHash(userPassword);
    return _pwd.has_value() && constantTimeEquals(hash, *_pwd);
}

std::string Shadow::startSession() {
    std::string id = secureRandomHex(16);
    _sessions.push_back(getHash(id));
    if (_sessions.size() > MAX_SESSIONS)
        _sessions.erase(_sessions.begin(), _sessions.end() - MAX_SESSIONS);
    return id;
}

bool Shadow::isSessionLive(std::string_view id) const noexcept {
    if (id.empty())
        return false;
    try {
        const std::string hash = getHash(id);
        return std::any_of(_sessions.begin(), _sessions.end(),
                           [&](const std::string& live) { return constantTimeEquals(live, hash); });
    } catch (...) {
        return false;
    }
}

void Shadow::endSession(std::string_view id) {
    const std::string hash = getHash(id);
    std::erase(_sessions, hash);
}

void Shadow::endSessionsExcept(std::string_view id) {
    const std::string hash = getHash(id);
    std::erase_if(_sessions, [&](const std::string& live) { return live != hash; });
}

} // namespace tollwick
