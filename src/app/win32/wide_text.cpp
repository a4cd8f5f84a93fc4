#ifdef _WIN32
#include "app/win32/wide_text.hpp"

#include <windows.h>

#include <climits>

namespace thq::app::win32 {

std::wstring widen(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), size);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(utf16.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace thq::app::win32
#endif  // _WIN32
