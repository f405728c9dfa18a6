// The browser interface's files and pages, with the redirects that lead to and away from the
// login page.
#include <algorithm>
#include <filesystem>
#include <string_view>

#include "runtime/paths.h"
#include "web/http/content_types.h"
#include "web/api/handlers.h"

namespace tollwick::web {

namespace {

namespace fs = std::filesystem;

// The file `relative` names inside the interface directory, or nothing when there is no such
// regular file or the name leads out of the directory (by "..", an absolute path or a link).
std::optional<fs::path> interfaceFile(const std::string& relative) {
    if (relative.empty() || relative.find('\0') != std::string::npos || relative.find('\\') != std::string::npos)
        return std::nullopt;
    const fs::path name(relative);
    if (name.is_absolute() || name.has_root_name())
        return std::nullopt;
    for (const fs::path& piece : name)
        if (piece == "..")
            return std::nullopt;
    std::error_code error;
    const fs::path root = fs::canonical(getHtmlDir(), error);
    if (error)
        return std::nullopt;
    const fs::path file = fs::canonical(root / name, error);
    if (error || !fs::is_regular_file(file, error))
        return std::nullopt;
    if (std::mismatch(root.begin(), root.end(), file.begin(), file.end()).first != root.end())
        return std::nullopt;
    return file;
}

// The page's path with everything but unreserved characters and "/" percent-encoded, so that it
// is a valid cookie value.
std::string percentEncodedPath(std::string_view path) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alphanumeric || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            out += '%';
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        }
    }
    return out;
}

// The redirect of a page that needs a login. It names the page (with its query) in a short-lived
// cookie that the interface's login page reads, so that the browser comes back to it after the
// login; the start page needs no such note.
Response redirectToLogin(const Request& request) {
    Response response = redirect("/login");
    const std::string& page = request.param("path");
    if (page.empty())
        return response;
    std::string target = "/" + page;
    char separator = '?';
    for (const auto& [name, value] : request.args) {
        target += separator + name + "=" + value;
        separator = '&';
    }
    response.headers.emplace_back("Set-Cookie", "tollwick_return=" + percentEncodedPath(target) +
                                                    "; Path=/; Max-Age=600; SameSite=Strict");
    return response;
}

Response sendInterfaceFile(const std::string& relative) {
    const std::optional<fs::path> file = interfaceFile(relative);
    if (!file)
        return Response(404, PLAIN_TEXT, "Not Found");
    return send_file(*file, contentTypeForFile(file->string()));
}

} // namespace

// Paths with a dot are files and are served without a login check (the login page needs its
// scripts and icon); every other path is a page of the interface's own router, answered with
// its start page, or with a redirect when the login state does not fit the page.
Response serve_static(WebContext& ctx, Request& request) {
    const std::string& path = request.param("path");
    if (path.find('.') != std::string::npos)
        return sendInterfaceFile(path);
    if (path == "welcome")
        return sendInterfaceFile("index.html");
    const bool loginNeeded = loginMissing(ctx, request);
    if (loginNeeded && path != "login")
        return redirectToLogin(request);
    if (!loginNeeded && path == "login")
        return redirect("/");
    return sendInterfaceFile("index.html");
}

} // namespace tollwick::web
