// The login guard and the routes that identify the server and log browsers in and out.
#include <mutex>

#include "runtime/port_check.h"
#include "web/handlers.h"
#include "web/web_input.h"

namespace tollwick::web {

bool loginMissing(WebContext& ctx, const Request& request) {
    if (request.session.loggedIn())
        return false;
    std::scoped_lock lock(ctx.docs.mutex);
    return ctx.docs.shadow->isPasswordSet();
}

Handler require_login(Handler handler) {
    return [handler = std::move(handler)](WebContext& ctx, Request& request) {
        if (loginMissing(ctx, request))
            return Response(BadRequest("No auth"));
        return handler(ctx, request);
    };
}

Response endpoint_whoami(WebContext&, Request&) {
    return plain_text(WHO_AM_I);
}

// Body {"userPassword": <text>, "remember": <any>}. `remember` is kept in the session under
// "permanent" and read by nothing; a body without it counts as false.
Response auth_login(WebContext& ctx, Request& request) {
    const Json data = readJsonBody(request);
    if (!data.is_object() || !data.contains("userPassword") || !data["userPassword"].is_string())
        return BadRequest("The login needs the password as text in userPassword");
    bool matching = false;
    {
        std::scoped_lock lock(ctx.docs.mutex);
        matching = ctx.docs.shadow->isPasswordMatching(data["userPassword"].get_ref<const std::string&>());
    }
    if (!matching)
        return BadRequest("Login failed");
    request.session.set("loggedIn", true);
    request.session.set("permanent", data.contains("remember") ? data["remember"] : Json(false));
    return redirect("/");
}

Response auth_logout(WebContext&, Request& request) {
    request.session.set("loggedIn", false);
    return redirect("/login");
}

// Body: the new password as a JSON string. The old password is not asked for: the login guard in
// front of this route is the only protection. The browser that sets the first password (while
// none was required) is logged in by it; nobody is logged out, since the signing key stays.
Response auth_chpasswd(WebContext& ctx, Request& request) {
    const Json password = readJsonBody(request);
    if (!password.is_string())
        return BadRequest("The new password must be a JSON string");
    {
        std::scoped_lock lock(ctx.docs.mutex);
        ctx.docs.shadow->setPassword(password.get_ref<const std::string&>());
    }
    if (!request.session.loggedIn()) {
        request.session.set("loggedIn", true);
        request.session.set("permanent", false);
    }
    return plain_text("ok");
}

} // namespace tollwick::web
