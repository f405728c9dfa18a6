#include "audio/mci.h"

#include <windows.h>

#include <mmsystem.h>

#include <vector>

#include "runtime/wide_text.h"

namespace tollwick {

namespace {

constexpr UINT BUFFER_LENGTH = 600;

std::string upToNul(const std::vector<wchar_t>& buffer) {
    return narrow(std::wstring(buffer.data()));
}

} // namespace

Mci systemMci() {
    return Mci{
        [](const std::string& command, std::string& answer) -> std::uint32_t {
            std::vector<wchar_t> buffer(BUFFER_LENGTH, L'\0');
            const MCIERROR status = ::mciSendStringW(widen(command).c_str(), buffer.data(), BUFFER_LENGTH - 1, nullptr);
            answer = upToNul(buffer);
            return status;
        },
        [](std::uint32_t status) {
            std::vector<wchar_t> buffer(BUFFER_LENGTH, L'\0');
            ::mciGetErrorStringW(status, buffer.data(), BUFFER_LENGTH - 1);
            return upToNul(buffer);
        },
    };
}

} // namespace tollwick
