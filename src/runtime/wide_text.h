#pragma once
// Windows only: the system keeps text as UTF-8; the wide ("W") Windows functions take UTF-16.
#include <string>
#include <string_view>

namespace tollwick {

// UTF-16 of UTF-8 text; invalid sequences become U+FFFD.
std::wstring widen(std::string_view utf8);

// UTF-8 of UTF-16 text; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view utf16);

// The system's text for a Windows error code (GetLastError and the like), without the line break
// Windows puts at its end; the code in decimal when Windows has no text for it.
std::string windowsErrorText(unsigned long code);

} // namespace tollwick
