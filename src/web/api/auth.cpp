// The login guard and the routes that identify the server and log browsers in and out.
#include <mutex>

#include "runtime/port_check.h"
#include "storage/crypto.h"
#include "web/api/handlers.h"
#include "web/api/web_input.h"

namespace tollwick::web {

namespace {

// A new logged-in session for the browser of `request`. Expects the document mutex held.
void startSession(Shadow& shadow, Request& request, const Json& permanent) {
    request.session.set("loggedIn", true);
    request.session.set("permanent", permanent);
    request.session.set("sessionId", shadow.startSession());
}

} // namespace

bool loginMissing(WebContext& ctx, const Request& request) {
    std::scoped_lock lock(ctx.docs.mutex);
    if (!ctx.docs.shadow->isPasswordSet())
        return false;
    return !request.session.loggedIn() || !ctx.docs.shadow->isSessionLive(request.session.sessionId());
}

std::optional<Response> require_login(WebContext& ctx, const Request& request) {
    if (loginMissing(ctx, request))
        return BadRequest("No auth");
    return std::nullopt;
}

Response endpoint_whoami(WebContext&, Request&) {
    return plain_text(WHO_AM_I);
}

// Body {"userPassword": <text>, "remember": <any>}. `remember` is kept in the session under
// "permanent" and read by nothing; a body without it counts as false. Wrong passwords count against
// the client's address (web/login_throttle.h); the password is hashed without the document mutex.
Response auth_login(WebContext& ctx, Request& request) {
    if (const auto wait = ctx.loginThrottle.waitFor(request.remoteAddress); wait.count() > 0) {
        Response refused(429, PLAIN_TEXT,
                         "Too many failed logins from this address; try again in " + std::to_string(wait.count()) +
                             " seconds");
        refused.headers.emplace_back("Retry-After", std::to_string(wait.count()));
        return refused;
    }
    const Json data = readJsonBody(request);
    if (!data.is_object() || !data.contains("userPassword") || !data["userPassword"].is_string())
        return BadRequest("The login needs the password as text in userPassword");
    std::string salt;
    std::optional<std::string> stored;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        salt = ctx.docs.shadow->getCurrentSalt();
        stored = ctx.docs.shadow->_pwd;
    }
    const std::string hash = Shadow::hashPassword(salt, data["userPassword"].get_ref<const std::string&>());
    if (!stored || !constantTimeEquals(hash, *stored)) {
        ctx.loginThrottle.failed(request.remoteAddress);
        return BadRequest("Login failed");
    }
    {
        std::scoped_lock lock(ctx.docs.mutex);
        // The password may have changed while it was being hashed.
        if (ctx.docs.shadow->_pwd != stored)
            return BadRequest("Login failed");
        startSession(*ctx.docs.shadow, request, data.contains("remember") ? data["remember"] : Json(false));
    }
    ctx.loginThrottle.succeeded(request.remoteAddress);
    return redirect("/");
}

// Ends the browser's session on the server too: its cookie stays useless, also when it was copied.
Response auth_logout(WebContext& ctx, Request& request) {
    if (const std::string id = request.session.sessionId(); !id.empty()) {
        std::scoped_lock lock(ctx.docs.mutex);
        ctx.docs.shadow->endSession(id);
    }
    request.session.set("loggedIn", false);
    request.session.erase("sessionId");
    return redirect("/login");
}

// Body: the new password as a JSON string. The old password is not asked for: the login guard in
// front of this route is the only protection. Every other session ends; the browser that changed
// the password stays logged in (the one that sets the first password, while none was required, is
// logged in by it).
Response auth_chpasswd(WebContext& ctx, Request& request) {
    const Json password = readJsonBody(request);
    if (!password.is_string())
        return BadRequest("The new password must be a JSON string");
    std::string salt;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        salt = ctx.docs.shadow->getCurrentSalt();
    }
    const std::string hash = Shadow::hashPassword(salt, password.get_ref<const std::string&>());
    std::scoped_lock lock(ctx.docs.mutex);
    Shadow& shadow = *ctx.docs.shadow;
    const bool wasLive = request.session.loggedIn() && shadow.isSessionLive(request.session.sessionId());
    shadow._pwd = hash;
    if (!wasLive)
        startSession(shadow, request, false);
    shadow.endSessionsExcept(request.session.sessionId());
    return plain_text("ok");
}

} // namespace tollwick::web
