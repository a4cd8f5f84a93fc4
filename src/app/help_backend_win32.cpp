// HTML Help on Windows: "HtmlHelpA" of "HHCtrl.ocx", loaded when the backend is made and
// unloaded with it. A missing library or entry makes every call do nothing.
#ifdef _WIN32
#include <windows.h>

#include "app/help_backend.hpp"
#include "data/text.hpp"

namespace thq::app::help {
namespace {

using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

class HtmlHelpControl final : public HtmlHelpBackend {
public:
    HtmlHelpControl() {
        library_ = LoadLibraryA("HHCtrl.ocx");
        if (library_ != nullptr)
            entry_ = reinterpret_cast<HtmlHelpEntry>(GetProcAddress(library_, "HtmlHelpA"));
    }
    ~HtmlHelpControl() override {
        entry_ = nullptr;
        if (library_ != nullptr) FreeLibrary(library_);
    }
    HtmlHelpControl(const HtmlHelpControl&) = delete;
    HtmlHelpControl& operator=(const HtmlHelpControl&) = delete;

    void htmlHelp(const HtmlHelpCall& call) override {
        if (entry_ == nullptr) return;
        const UINT command = static_cast<UINT>(call.command);
        if (call.command == HtmlHelpCommand::CloseAll) {
            entry_(nullptr, nullptr, command, 0);
            return;
        }
        // The ANSI entry takes texts in the system's code page.
        const std::string file = text::utf8ToCp1252(call.file);
        const std::string keyword = text::utf8ToCp1252(call.keyword);
        const DWORD_PTR data = call.command == HtmlHelpCommand::DisplayIndex
                                   ? reinterpret_cast<DWORD_PTR>(keyword.c_str())
                                   : static_cast<DWORD_PTR>(call.number);
        entry_(reinterpret_cast<HWND>(call.window), file.c_str(), command, data);
    }

private:
    HMODULE library_ = nullptr;
    HtmlHelpEntry entry_ = nullptr;
};

}  // namespace

std::shared_ptr<HtmlHelpBackend> makePlatformHelpBackend(std::function<void(const std::string&)>) {
    return std::make_shared<HtmlHelpControl>();
}

}  // namespace thq::app::help
#endif  // _WIN32
