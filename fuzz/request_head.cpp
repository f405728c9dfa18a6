// A request's head as the HTTP front reads it off a connection, and the checks made on it before
// a body is read: framing, the target's segments and query, host name, cross-site headers, the
// session cookie.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "web/http/request_guard.h"
#include "web/http/request_head.h"
#include "web/http/request_target.h"
#include "web/http/session.h"

using namespace tollwick;
using namespace tollwick::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto length = headLength(text);
    if (!length)
        return 0;
    const auto head = parseRequestHead(text.substr(0, *length));
    if (!head)
        return 0;
    (void)bodyFramingOf(*head);
    (void)readTarget(head->target);
    static const HostPolicy hosts({"school-pc", "school-pc.example.org"});
    const auto host = head->field("Host").value_or("");
    (void)hosts.allows(host);
    (void)crossSiteRefusal(host, head->field("Sec-Fetch-Site"), head->field("Origin"), head->field("Referer"));
    if (const auto cookie = cookieValue(head->field("Cookie").value_or(""), SESSION_COOKIE_NAME))
        (void)decodeSessionCookie(*cookie, "key");
    return 0;
}
