#include "storage/shadow.h"

#include <algorithm>

#include "storage/crypto.h"

namespace tollwick {

const std::string& Shadow::getCurrentSalt() {
    if (!_salt || _salt->empty())
        _salt = secureRandomHex(32);
    return *_salt;
}

const std::string& Shadow::metricsToken() {
    if (!_metricsToken || _metricsToken->empty())
        _metricsToken = secureRandomHex(32);
    return *_metricsToken;
}

const std::string& Shadow::newMetricsToken() {
    _metricsToken = secureRandomHex(32);
    return *_metricsToken;
}

bool Shadow::isMetricsToken(std::string_view token) const noexcept {
    return _metricsToken && !_metricsToken->empty() && constantTimeEquals(*_metricsToken, token);
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

namespace {

bool ranOut(const SessionTimes& times, std::int64_t now) noexcept {
    return now - times.lastUsed >= Shadow::SESSION_IDLE_LIMIT || now - times.started >= Shadow::SESSION_AGE_LIMIT;
}

} // namespace

const SessionTimes* Shadow::timesOf(const std::string& hash) const noexcept {
    const auto it = std::find_if(_sessionTimes.begin(), _sessionTimes.end(),
                                 [&](const SessionTimes& times) { return times.session == hash; });
    return it == _sessionTimes.end() ? nullptr : &*it;
}

void Shadow::endExpiredSessions(std::int64_t now) {
    std::erase_if(_sessions, [&](const std::string& hash) {
        const SessionTimes* times = timesOf(hash);
        return times && ranOut(*times, now);
    });
    std::erase_if(_sessionTimes, [&](const SessionTimes& times) {
        return std::find(_sessions.begin(), _sessions.end(), times.session) == _sessions.end();
    });
}

std::string Shadow::startSession(std::int64_t now) {
    endExpiredSessions(now);
    std::string id = secureRandomHex(16);
    const std::string hash = getHash(id);
    _sessions.push_back(hash);
    _sessionTimes.push_back({hash, now, now});
    if (_sessions.size() > MAX_SESSIONS) {
        _sessions.erase(_sessions.begin(), _sessions.end() - MAX_SESSIONS);
        endExpiredSessions(now);
    }
    return id;
}

bool Shadow::isSessionLive(std::string_view id, std::int64_t now) const noexcept {
    if (id.empty())
        return false;
    try {
        const std::string hash = getHash(id);
        const bool listed = std::any_of(_sessions.begin(), _sessions.end(),
                                        [&](const std::string& live) { return constantTimeEquals(live, hash); });
        const SessionTimes* times = listed ? timesOf(hash) : nullptr;
        return listed && !(times && ranOut(*times, now));
    } catch (...) {
        return false;
    }
}

void Shadow::useSession(std::string_view id, std::int64_t now) {
    const std::string hash = getHash(id);
    if (std::find(_sessions.begin(), _sessions.end(), hash) == _sessions.end())
        return;
    const auto it = std::find_if(_sessionTimes.begin(), _sessionTimes.end(),
                                 [&](const SessionTimes& times) { return times.session == hash; });
    if (it == _sessionTimes.end()) {
        _sessionTimes.push_back({hash, now, now});
    } else if (now - it->lastUsed >= SESSION_USE_GRANULARITY) {
        it->lastUsed = now;
    } else {
        return;
    }
    endExpiredSessions(now);
}

void Shadow::endSession(std::string_view id) {
    const std::string hash = getHash(id);
    std::erase(_sessions, hash);
    std::erase_if(_sessionTimes, [&](const SessionTimes& times) { return times.session == hash; });
}

void Shadow::endSessionsExcept(std::string_view id) {
    const std::string hash = getHash(id);
    std::erase_if(_sessions, [&](const std::string& live) { return live != hash; });
    std::erase_if(_sessionTimes, [&](const SessionTimes& times) { return times.session != hash; });
}

} // namespace tollwick
