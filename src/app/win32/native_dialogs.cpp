#ifdef _WIN32
#include "app/win32/native_dialogs.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <vector>

#include "app/win32/wide_text.hpp"
#include "data/error.hpp"

namespace thq::app::win32 {
namespace {

HWND ownerOf(const FormView& view) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the view hands its window out as a number
    const HWND window = reinterpret_cast<HWND>(view.nativeHandle());
    return window != nullptr && IsWindow(window) ? window : nullptr;
}

// Room for the longest path the wide API takes.
constexpr std::size_t kPathCapacity = 32768;

// The box's one button says "Aceptar" whatever the language of the system, and the box
// stands centred on the screen it is shown on. MessageBoxW offers neither, so a hook on
// this thread adjusts the box when it is activated, before it is first drawn.
thread_local HHOOK boxHook = nullptr;

LRESULT CALLBACK adjustMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): HCBT_ACTIVATE's wParam is the window
        const HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (std::wstring_view(className) == L"#32770") {
            if (const HWND ok = GetDlgItem(box, IDOK)) SetWindowTextW(ok, L"Aceptar");
            RECT frame{};
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            if (GetWindowRect(box, &frame) &&
                GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
                const RECT& area = monitor.rcWork;
                const int width = frame.right - frame.left;
                const int height = frame.bottom - frame.top;
                SetWindowPos(box, nullptr, area.left + (area.right - area.left - width) / 2,
                             area.top + (area.bottom - area.top - height) / 2, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            // Only the box itself: a window it opens later is left alone.
            UnhookWindowsHookEx(boxHook);
            boxHook = nullptr;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void showBox(HWND owner, const std::wstring& text, UINT icon) {
    boxHook = SetWindowsHookExW(WH_CBT, adjustMessageBox, nullptr, GetCurrentThreadId());
    MessageBoxW(owner, text.c_str(), widen(kApplicationTitle).c_str(),
                MB_OK | icon | MB_SETFOREGROUND);
    if (boxHook != nullptr) {
        UnhookWindowsHookEx(boxHook);
        boxHook = nullptr;
    }
}

}  // namespace

OpenFileChooser::OpenFileChooser(const FormView& owner, const std::filesystem::path& workFolder)
    : owner_(owner), initialFolder_(workFolder / L"quelva") {}

std::optional<std::filesystem::path> OpenFileChooser::choose() {
    const std::wstring folder = initialFolder_.native();
    // One filter entry whose caption and mask are both "*.xml"; the list ends in two NULs.
    static constexpr wchar_t kFilter[] = L"*.xml\0*.xml\0";
    for (bool offerLast = !lastConfirmed_.empty();; offerLast = false) {
        std::vector<wchar_t> file(kPathCapacity, L'\0');
        if (offerLast) lastConfirmed_.copy(file.data(), kPathCapacity - 1);
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = ownerOf(owner_);
        dialog.lpstrFilter = kFilter;
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = folder.c_str();
        dialog.lpstrTitle = L"Archivo XML";
        dialog.lpstrDefExt = L"xml";
        // A typed name need not exist (the run tests that itself); the process's current
        // folder stays where it was.
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
        if (GetOpenFileNameW(&dialog)) {
            lastConfirmed_ = file.data();
            return std::filesystem::path(lastConfirmed_);
        }
        const DWORD problem = CommDlgExtendedError();
        if (problem == 0) return std::nullopt;  // cancelled
        // The name confirmed last may no longer be acceptable (its folder gone): ask afresh.
        if (offerLast && problem == FNERR_INVALIDFILENAME) continue;
        throw Error(ErrorKind::InputOutput,
                    "No se pudo mostrar el diálogo para elegir el archivo XML (error " +
                        std::to_string(problem) + ")");
    }
}

void MessageBoxes::showMessage(const std::string& text) {
    showBox(ownerOf(owner_), widen(text), 0);
}

void MessageBoxes::showError(const std::string& text, const std::string& detail) {
    std::string shown = text;
    if (!detail.empty()) shown += "\n\n" + detail;
    showBox(ownerOf(owner_), widen(shown), MB_ICONERROR);
}

}  // namespace thq::app::win32
#endif  // _WIN32
