// Tells a test where the windows are, for the windows that the window system cannot see on
// its own (under wine a child window has no X11 window). Usage:
//   th_window_probe            one line per window, top-level windows and all their
//                              descendants, tab-separated:
//                              handle parent owner pid style exstyle class
//                              window-rect client-rect text
//                              (handles in hexadecimal; rectangles "left top right bottom"
//                              in screen coordinates; text in UTF-8)
//   th_window_probe close H    posts WM_CLOSE to the window with handle H (hexadecimal)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

unsigned handleValue(HWND window) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window) & 0xFFFFFFFFu);
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

void describe(HWND window) {
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    for (wchar_t& c : text)
        if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
    RECT frame{};
    GetWindowRect(window, &frame);
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::printf("%X\t%X\t%X\t%lu\t%lX\t%lX\t%s\t%ld %ld %ld %ld\t%ld %ld %ld %ld\t%s\n",
                handleValue(window), handleValue(GetAncestor(window, GA_PARENT)),
                handleValue(GetWindow(window, GW_OWNER)), static_cast<unsigned long>(process),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)),
                utf8(className).c_str(), frame.left, frame.top, frame.right, frame.bottom, origin.x,
                origin.y, origin.x + client.right, origin.y + client.bottom, utf8(text).c_str());
}

BOOL CALLBACK eachChild(HWND window, LPARAM) {
    describe(window);
    return TRUE;
}

BOOL CALLBACK eachTopLevel(HWND window, LPARAM) {
    describe(window);
    EnumChildWindows(window, eachChild, 0);  // every descendant, not only the children
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"close") == 0) {
        const auto value = static_cast<std::int32_t>(std::wcstoul(argv[2], nullptr, 16));
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the handle arrives as a number
        const HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(value));
        if (!IsWindow(window)) return 1;
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (argc != 1) {
        std::fprintf(stderr, "uso: th_window_probe [close HANDLE]\n");
        return 2;
    }
    EnumWindows(eachTopLevel, 0);
    std::fflush(stdout);
    return 0;
}
