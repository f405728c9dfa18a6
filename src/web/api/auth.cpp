// The login guard and the routes that identify the server and log browsers in and out.
#include <mutex>

#include "runtime/paths.h"
#include "runtime/port_check.h"
#include "storage/crypto.h"
#include "web/api/change_records.h"
#include "web/api/handlers.h"
#include "web/api/web_input.h"
#include "web/http/request_guard.h"

namespace tollwick::web {

namespace {

// Sessions run out by the wall clock, which the tests' clock stands in for.
std::int64_t nowSeconds(const WebContext& ctx) {
    return wallSecondsOf(ctx.clock.preciseNow().reading);
}

// A new logged-in session for the browser of `request`. Expects the document mutex held.
void startSession(Shadow& shadow, Request& request, const Json& permanent, std::int64_t now) {
    request.session.set("loggedIn", true);
    request.session.set("permanent", permanent);
    request.session.set("sessionId", shadow.startSession(now));
}

// Refuses a login that the throttle holds back; the first refusal of each lock is recorded.
Response throttled(WebContext& ctx, const Request& request, std::chrono::seconds wait) {
    if (ctx.loginThrottle.firstRefusalOfLock(request.remoteAddress))
        recordChange(
            ctx, request,
            {"auth.login.locked", std::nullopt, "Too many failed logins; wait " + std::to_string(wait.count()) + " s"});
    Response refused(429, PLAIN_TEXT,
                     "Too many failed logins from this address; try again in " + std::to_string(wait.count()) +
                         " seconds");
    refused.headers.emplace_back("Retry-After", std::to_string(wait.count()));
    return refused;
}

// While no password is set, the first one may be set from this machine itself, or from another
// computer with the set-up code; wrong codes count as failed logins.
std::optional<Response> firstPasswordRefusal(WebContext& ctx, const Request& request) {
    if (isLoopbackRequest(request.remoteAddress, request.header("Host")))
        return std::nullopt;
    if (const auto wait = ctx.loginThrottle.waitFor(request.remoteAddress); wait.count() > 0)
        return throttled(ctx, request, wait);
    const auto code = request.header(SETUP_CODE_HEADER);
    if (code && ctx.setupCode.matches(*code))
        return std::nullopt;
    if (code) {
        ctx.loginThrottle.failed(request.remoteAddress);
        recordChange(ctx, request, {"auth.login.failed", std::nullopt, "Wrong set-up code"});
    }
    return Response(403, PLAIN_TEXT,
                    std::string(code ? "This set-up code is not the right one. " : "") +
                        "To set the first password from another computer, enter the set-up code. It is in the "
                        "log of Tollwick Player and in the file setup-code of its data folder, on the computer "
                        "that runs it.");
}

} // namespace

bool loginMissing(WebContext& ctx, const Request& request) {
    const std::int64_t now = nowSeconds(ctx);
    const std::string id = request.session.sessionId();
    std::scoped_lock lock(ctx.docs.mutex);
    if (!ctx.docs.shadow->isPasswordSet())
        return false;
    if (!request.session.loggedIn() || !ctx.docs.shadow->isSessionLive(id, now))
        return true;
    ctx.docs.shadow.edit().useSession(id, now);
    return false;
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
    if (const auto wait = ctx.loginThrottle.waitFor(request.remoteAddress); wait.count() > 0)
        return throttled(ctx, request, wait);
    const Json data = readJsonBody(request);
    if (!data.is_object() || !data.contains("userPassword") || !data["userPassword"].is_string())
        return BadRequest("The login needs the password as text in userPassword");
    std::string salt;
    std::optional<std::string> stored;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        salt = ctx.docs.shadow.edit().getCurrentSalt();
        stored = ctx.docs.shadow->_pwd;
    }
    const std::string hash = Shadow::hashPassword(salt, data["userPassword"].get_ref<const std::string&>());
    const Change failed{"auth.login.failed", std::nullopt, "Wrong password"};
    if (!stored || !constantTimeEquals(hash, *stored)) {
        ctx.loginThrottle.failed(request.remoteAddress);
        recordChange(ctx, request, failed);
        return BadRequest("Login failed");
    }
    {
        std::scoped_lock lock(ctx.docs.mutex);
        // The password may have changed while it was being hashed.
        if (ctx.docs.shadow->_pwd != stored) {
            recordChange(ctx, request, failed);
            return BadRequest("Login failed");
        }
        startSession(ctx.docs.shadow.edit(), request, data.contains("remember") ? data["remember"] : Json(false),
                     nowSeconds(ctx));
    }
    ctx.loginThrottle.succeeded(request.remoteAddress);
    recordChange(ctx, request, {"auth.login", std::nullopt, "Logged in"});
    return redirect("/");
}

// Ends the browser's session on the server too: its cookie stays useless, also when it was copied.
Response auth_logout(WebContext& ctx, Request& request) {
    if (const std::string id = request.session.sessionId(); !id.empty()) {
        std::scoped_lock lock(ctx.docs.mutex);
        ctx.docs.shadow.edit().endSession(id);
    }
    recordChange(ctx, request, {"auth.logout", std::nullopt, "Logged out"}); // while the session is known
    request.session.set("loggedIn", false);
    request.session.erase("sessionId");
    return redirect("/login");
}

// Body: the new password as a JSON string. The old password is not asked for: the login guard in
// front of this route is the only protection, and the first password needs this machine or the
// set-up code. Every other session ends; the browser that changed the password stays logged in
// (the one that sets the first password, while none was required, is logged in by it).
Response auth_chpasswd(WebContext& ctx, Request& request) {
    const Json password = readJsonBody(request);
    if (!password.is_string())
        return BadRequest("The new password must be a JSON string");
    std::string salt;
    bool first = false;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        salt = ctx.docs.shadow.edit().getCurrentSalt();
        first = !ctx.docs.shadow->isPasswordSet();
    }
    if (first)
        if (auto refusal = firstPasswordRefusal(ctx, request))
            return std::move(*refusal);
    const std::string hash = Shadow::hashPassword(salt, password.get_ref<const std::string&>());
    const std::int64_t now = nowSeconds(ctx);
    {
        std::scoped_lock lock(ctx.docs.mutex);
        Shadow& shadow = ctx.docs.shadow.edit();
        const bool wasLive = request.session.loggedIn() && shadow.isSessionLive(request.session.sessionId(), now);
        // Another browser may have set the first password meanwhile: then this one needs a login too.
        if (shadow.isPasswordSet() && !wasLive)
            return BadRequest("No auth");
        shadow._pwd = hash;
        if (!wasLive)
            startSession(shadow, request, false, now);
        shadow.endSessionsExcept(request.session.sessionId());
    }
    if (first)
        ctx.setupCode.retire(getUserFilePath(SETUP_CODE_FILE_NAME));
    recordChange(ctx, request,
                 first ? Change{"auth.password.set", std::nullopt, "First password set"}
                       : Change{"auth.password.change", std::nullopt, "Password changed; other sessions ended"});
    return plain_text("ok");
}

// Whether a password is set and, while none is, whether this browser needs the set-up code to set
// the first one: what the welcome page asks before it offers the password form.
Response auth_setup(WebContext& ctx, Request& request) {
    bool passwordSet = false;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        passwordSet = ctx.docs.shadow->isPasswordSet();
    }
    const bool codeNeeded = !passwordSet && !isLoopbackRequest(request.remoteAddress, request.header("Host"));
    return json_response(Json{{"passwordSet", passwordSet}, {"setupCodeNeeded", codeNeeded}});
}

} // namespace tollwick::web
