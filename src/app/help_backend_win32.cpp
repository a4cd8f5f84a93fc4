// HTML Help on Windows: the entry "HtmlHelpA" of "HHCtrl.ocx", loaded when the backend is
// made and unloaded with it. A missing library or entry makes every call do nothing.
#ifdef _WIN32
#include <windows.h>

#include <optional>
#include <string>

#include "app/help_backend.hpp"
#include "app/win32/wide_text.hpp"

namespace thq::app::help {
namespace {

using HtmlHelpAnsiEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
using HtmlHelpWideEntry = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// A text in the system's ANSI code page, or none when a character has no place there (a
// help file in a folder named outside the code page).
std::optional<std::string> toAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    BOOL lossy = FALSE;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr,
                                         0, nullptr, &lossy);
    if (size <= 0 || lossy) return std::nullopt;
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, out.data(), size,
                        nullptr, &lossy);
    if (lossy) return std::nullopt;
    return out;
}

class HtmlHelpControl final : public HtmlHelpBackend {
public:
    HtmlHelpControl() {
        library_ = LoadLibraryW(L"HHCtrl.ocx");
        if (library_ == nullptr) return;
        // GetProcAddress hands back a generic function pointer; the entries' real types are
        // the ones above.
        ansi_ = reinterpret_cast<HtmlHelpAnsiEntry>(
            reinterpret_cast<void*>(GetProcAddress(library_, "HtmlHelpA")));
        wide_ = reinterpret_cast<HtmlHelpWideEntry>(
            reinterpret_cast<void*>(GetProcAddress(library_, "HtmlHelpW")));
    }
    ~HtmlHelpControl() override {
        ansi_ = nullptr;
        wide_ = nullptr;
        if (library_ != nullptr) FreeLibrary(library_);
    }
    HtmlHelpControl(const HtmlHelpControl&) = delete;
    HtmlHelpControl& operator=(const HtmlHelpControl&) = delete;

    void htmlHelp(const HtmlHelpCall& call) override {
        if (ansi_ == nullptr) return;
        const UINT command = static_cast<UINT>(call.command);
        if (call.command == HtmlHelpCommand::CloseAll) {
            ansi_(nullptr, nullptr, command, 0);
            return;
        }
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the help routing keeps the window as a number
        const HWND owner = reinterpret_cast<HWND>(call.window);
        const std::wstring file = win32::widen(call.file);
        const std::wstring keyword = win32::widen(call.keyword);
        const bool withKeyword = call.command == HtmlHelpCommand::DisplayIndex;
        // The ANSI entry takes texts in the system's code page. A file or keyword that the
        // code page cannot hold goes to the entry's UTF-16 twin instead of arriving garbled.
        const std::optional<std::string> ansiFile = toAnsi(file);
        const std::optional<std::string> ansiKeyword = toAnsi(keyword);
        if (ansiFile && ansiKeyword) {
            const DWORD_PTR data = withKeyword ? reinterpret_cast<DWORD_PTR>(ansiKeyword->c_str())
                                               : static_cast<DWORD_PTR>(call.number);
            ansi_(owner, ansiFile->c_str(), command, data);
        } else if (wide_ != nullptr) {
            const DWORD_PTR data = withKeyword ? reinterpret_cast<DWORD_PTR>(keyword.c_str())
                                               : static_cast<DWORD_PTR>(call.number);
            wide_(owner, file.c_str(), command, data);
        }
    }

private:
    HMODULE library_ = nullptr;
    HtmlHelpAnsiEntry ansi_ = nullptr;
    HtmlHelpWideEntry wide_ = nullptr;
};

}  // namespace

// The control reports its own problems. The parameter is taken by value for the desktop
// backend, which keeps it.
std::shared_ptr<HtmlHelpBackend> makePlatformHelpBackend(
    // NOLINTNEXTLINE(performance-unnecessary-value-param): the signature both backends share
    std::function<void(const std::string&)> /*reportProblem*/) {
    return std::make_shared<HtmlHelpControl>();
}

}  // namespace thq::app::help
#endif  // _WIN32
