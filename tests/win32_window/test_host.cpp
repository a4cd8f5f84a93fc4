// A stand-in for the timetable program's window: a top-level window that prints its handle
// in hexadecimal (the form the tool takes on its command line) and waits until it is
// closed. Optional arguments: the client area's width and height.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(window, &ps);
            const HBRUSH brush = CreateSolidBrush(RGB(0x40, 0x50, 0x60));
            FillRect(dc, &ps.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int width = 800;
    int height = 500;
    if (argc >= 3) {
        width = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
        height = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = hostProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"ThTestHost";
    if (!RegisterClassExW(&windowClass)) return 1;
    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const HWND window = CreateWindowExW(
        0, L"ThTestHost", L"Horario (ventana anfitriona de prueba)", style, 20, 20,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    // Handles are 32-bit values on every Windows; the tool is given the low 32 bits.
    std::printf("%X\n",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window) & 0xFFFFFFFFu));
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
