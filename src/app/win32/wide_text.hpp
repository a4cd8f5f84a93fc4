#pragma once
// The one crossing between the UTF-8 texts of the core and the UTF-16 of the Windows API:
// every text the window hands to Windows or takes from it passes here, once.
#ifdef _WIN32
#include <string>
#include <string_view>

namespace thq::app::win32 {

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string narrow(std::wstring_view utf16);

}  // namespace thq::app::win32
#endif  // _WIN32
