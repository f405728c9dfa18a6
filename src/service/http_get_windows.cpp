#include "service/http_get.h"

#include <windows.h>

#include <winhttp.h>

#include <vector>

#include "runtime/errors.h"
#include "runtime/wide_text.h"

namespace tollwick {

namespace {

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : _handle(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (_handle != nullptr)
            ::WinHttpCloseHandle(_handle);
    }
    HINTERNET get() const { return _handle; }
    explicit operator bool() const { return _handle != nullptr; }

private:
    HINTERNET _handle;
};

// WinHTTP's own errors (12000 and up) have their texts in winhttp.dll, not in the system's table.
std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                         ::GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0)
        return windowsErrorText(code);
    std::wstring text(buffer, length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return narrow(text) + " (" + std::to_string(code) + ")";
}

int milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(duration.count(), 0x7fffffff));
}

// One request on a fresh session: no cookies, connections or other state outlive a request, and
// requests from different threads share nothing. `shownUrl` is what a failure names.
HttpAnswer exchange(const wchar_t* method, const std::string& methodName, const ServiceAddress& address,
                    const std::string& target, const std::string& shownUrl, const HttpLimits& limits,
                    const HttpPostContent* content) {
    auto failed = [&](const std::string& step) {
        const std::string reason = step + ": " + errorText(::GetLastError());
        return HttpFailure(methodName + " " + shownUrl + " failed: " + reason, reason);
    };

    const std::wstring wideOrigin = widen(address.origin);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wideOrigin.c_str(), 0, 0, &parts))
        throw failed("reading the address");
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // WinHTTP wants an IPv6 host without its brackets.
    if (host.size() > 2 && host.front() == L'[' && host.back() == L']')
        host = host.substr(1, host.size() - 2);

    InternetHandle session(::WinHttpOpen(L"TollwickPlayer", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        throw failed("starting WinHTTP");
    const int connect = milliseconds(limits.connect);
    const int read = milliseconds(limits.read);
    ::WinHttpSetTimeouts(session.get(), connect, connect, read, read);

    InternetHandle connection(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        throw failed("connecting");
    const std::wstring wideTarget = widen(target);
    InternetHandle request(::WinHttpOpenRequest(connection.get(), method, wideTarget.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                address.isHttps ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        throw failed("opening the request");
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    DWORD noCookies = WINHTTP_DISABLE_COOKIES;
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noCookies, sizeof noCookies);

    std::wstring headers;
    if (content) {
        headers = L"Content-Type: " + widen(content->contentType) + L"\r\n";
        for (const auto& [name, value] : content->headers)
            headers += widen(name) + L": " + widen(value) + L"\r\n";
    }
    // Certificates are checked by WinHTTP against the Windows store; no check is switched off.
    const DWORD bodySize = content ? static_cast<DWORD>(content->body.size()) : 0;
    if (!::WinHttpSendRequest(request.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                              headers.empty() ? 0 : static_cast<DWORD>(-1L),
                              bodySize == 0 ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(content->body.data()),
                              bodySize, bodySize, 0))
        throw failed("sending the request");
    if (!::WinHttpReceiveResponse(request.get(), nullptr))
        throw failed("receiving the answer");

    HttpAnswer answer;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        throw failed("reading the status");
    answer.status = static_cast<int>(status);

    size = 0;
    ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                          WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && size > 0) {
        std::wstring contentType(size / sizeof(wchar_t), L'\0');
        if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                                  contentType.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
            contentType.resize(size / sizeof(wchar_t));
            answer.contentType = narrow(contentType);
        }
    }

    std::vector<char> buffer(65536);
    for (;;) {
        DWORD count = 0;
        if (!::WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count))
            throw failed("reading the answer");
        if (count == 0)
            break;
        answer.body.append(buffer.data(), count);
    }
    return answer;
}

} // namespace

HttpAnswer httpGet(const ServiceAddress& address, const std::string& target, const HttpLimits& limits,
                   const std::string& trustedCertificates) {
    const std::string url = address.origin + target.substr(0, target.find('?'));
    if (!trustedCertificates.empty())
        throw Error("GET " + url + " failed: WinHTTP checks certificates against the Windows store only");
    return exchange(L"GET", "GET", address, target, url, limits, nullptr);
}

HttpAnswer httpPost(const ServiceAddress& address, const std::string& target, const HttpPostContent& content,
                    const HttpLimits& limits) {
    return exchange(L"POST", "POST", address, target, address.origin, limits, &content);
}

} // namespace tollwick
