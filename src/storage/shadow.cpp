#include "storage/shadow.h"

#include "storage/crypto.h"

namespace tollwick {

const std::string& Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty())
        _salt = secureRandomHex(32);
    return *_salt;
}

std::string Shadow::_saltAndHash(std::string_view other) {
    std::string salted = getCurrentSalt();
    salted += other;
    return getHash(salted);
}

void Shadow::setPassword(std::string_view userPassword) { _pwd = _saltAndHash(userPassword); }

bool Shadow::isPasswordMatching(std::string_view userPassword) {
    const std::string hash = _saltAndHash(userPassword);
    return _pwd.has_value() && constantTimeEquals(hash, *_pwd);
}

} // namespace tollwick
