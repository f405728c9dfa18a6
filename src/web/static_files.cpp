// The browser interface's files and pages, with the redirects that lead to and away from the
// login page.
#include <algorithm>
#include <filesystem>

#include "runtime/paths.h"
#include "web/content_types.h"
#include "web/handlers.h"

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
        return redirect("/login");
    if (!loginNeeded && path == "login")
        return redirect("/");
    return sendInterfaceFile("index.html");
}

} // namespace tollwick::web
