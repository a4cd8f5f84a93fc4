#pragma once
// The main window on the Windows API: a dialog-style window of fixed size (or, in hosted
// mode, a borderless child of the timetable program's window) with three gradient panels,
// two labels, the version label and four buttons. It draws, passes its events to the
// FormController and answers the controller's requests; the behaviour is the controller's.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>

#include "app/form_view.hpp"

namespace thq::app {
class FormController;
}

namespace thq::app::win32 {

class NativeForm final : public FormView {
public:
    explicit NativeForm(HINSTANCE instance);
    ~NativeForm() override;
    NativeForm(const NativeForm&) = delete;
    NativeForm& operator=(const NativeForm&) = delete;

    // The controller the window's events go to, and where errors that escape a handler are
    // shown. Both must outlive the window.
    void attach(FormController& controller, MessagePresenter& messages);

    // Creates the window, not yet shown: inside the host when embedInHost accepted one,
    // else a top-level window centred on the screen. Returns false when Windows refuses.
    bool create();
    // Shows the window and gives the first button the focus.
    void show();
    // Runs the message loop until the program ends; returns the exit code.
    int runMessageLoop();

    HWND handle() const { return window_; }

    // FormView.
    EmbedResult embedInHost(std::uint32_t hostHandle) override;
    void setBusyCursor(bool busy) override;
    void repaintNow() override;
    std::uintptr_t nativeHandle() const override;
    void closeWindow() override;
    void endProgram() override;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void paint(HDC dc, const RECT& client) const;
    void drawButton(const DRAWITEMSTRUCT& item) const;
    void command(int id);
    // The focus to the button that had it last, else the first.
    void focusButton();
    template <typename Handler>
    void guarded(Handler&& handler);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND host_ = nullptr;
    HFONT windowFont_ = nullptr;
    HFONT panelFont_ = nullptr;
    HFONT versionFont_ = nullptr;
    FormController* controller_ = nullptr;
    MessagePresenter* messages_ = nullptr;
    bool busy_ = false;
    HWND lastFocused_ = nullptr;
};

}  // namespace thq::app::win32
#endif  // _WIN32
