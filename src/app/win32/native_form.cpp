#ifdef _WIN32
#include "app/win32/native_form.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

#include "app/form_controller.hpp"
#include "app/win32/wide_text.hpp"
#include "data/error.hpp"
#include "data/text.hpp"

#ifndef TH_APP_VERSION
#define TH_APP_VERSION "1.0.0"
#endif

namespace thq::app::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TransHoralisQuelvaMForm";

// Button identifiers; 1 and 2 are IDOK and IDCANCEL, which the dialog manager sends for
// Enter and Escape when no button is meant.
enum ControlId : int { kExportButton = 101, kImportButton, kCloseButton, kHelpButton };

// The timer that looks whether the host window still exists.
constexpr UINT_PTR kHostWatchTimer = 1;
constexpr UINT kHostWatchMilliseconds = 500;

enum class Glyph { None, Check, Close };

struct ButtonLayout {
    int id;
    const wchar_t* caption;
    Glyph glyph;
    RECT bounds;  // in the window's client area
};

struct PanelLayout {
    RECT bounds;
    COLORREF colours[3];  // top, middle, bottom
};

struct LabelLayout {
    const wchar_t* text;
    RECT bounds;
};

// Colour numbers hold blue in the high, green in the middle and red in the low byte, as a
// COLORREF does.
constexpr COLORREF kUpperFrom = 8246265, kUpperTo = 14544639, kWhite = 0xFFFFFF;
constexpr COLORREF kLowerFrom = 16698818, kLowerThrough = 16708303, kLowerTo = 15128780;

constexpr RECT at(int left, int top, int width, int height) {
    return RECT{left, top, left + width, top + height};
}

// The export panel at (1, 0), the import panel at (316, 0), the lower panel at (0, 168);
// controls inside a panel are placed relative to it. Later panels cover earlier ones.
constexpr int kExportLeft = 1, kImportLeft = 316, kLowerTop = 168;
constexpr std::array<PanelLayout, 3> kPanels{{
    {at(kExportLeft, 0, 315, 169), {kUpperFrom, kWhite, kUpperTo}},
    {at(kImportLeft, 0, 317, 169), {kUpperFrom, kWhite, kUpperTo}},
    {at(0, kLowerTop, 633, 97), {kLowerFrom, kLowerThrough, kLowerTo}},
}};
constexpr std::array<LabelLayout, 2> kPanelLabels{{
    {L"Transformar datos desde Quelva hacia Horalia ", at(kExportLeft + 24, 24, 265, 57)},
    {L"Transformar datos desde Horalia hacia Quelva", at(kImportLeft + 8, 24, 305, 57)},
}};
constexpr RECT kVersionLabel = at(8, kLowerTop + 72, 213, 13);
// In the order the Tab key visits them.
constexpr std::array<ButtonLayout, 4> kButtons{{
    {kExportButton, L"Aceptar", Glyph::Check, at(kExportLeft + 96, 120, 89, 25)},
    {kImportButton, L"Aceptar", Glyph::Check, at(kImportLeft + 96, 120, 89, 25)},
    {kCloseButton, L"&Salir", Glyph::Close, at(256, kLowerTop + 32, 89, 25)},
    {kHelpButton, L"F1 Ayuda", Glyph::None, at(512, kLowerTop + 56, 75, 25)},
}};

const ButtonLayout* buttonWithId(int id) {
    for (const ButtonLayout& button : kButtons)
        if (button.id == id) return &button;
    return nullptr;
}

HFONT makeFont(const wchar_t* face, int points, bool bold) {
    const HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

COLORREF blend(COLORREF from, COLORREF to, double t) {
    auto channel = [t](int a, int b) {
        return static_cast<BYTE>(std::clamp(std::lround(a + (b - a) * t), 0L, 255L));
    };
    return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
               channel(GetBValue(from), GetBValue(to)));
}

// A vertical gradient from the top colour through the middle one (half-way down) to the
// bottom one, each row in the colour at its centre.
void paintGradient(HDC dc, const PanelLayout& panel) {
    const int height = panel.bounds.bottom - panel.bounds.top;
    for (int row = 0; row < height; ++row) {
        const double t = (row + 0.5) / height;
        const COLORREF colour = t < 0.5 ? blend(panel.colours[0], panel.colours[1], t * 2)
                                        : blend(panel.colours[1], panel.colours[2], t * 2 - 1);
        const HBRUSH brush = CreateSolidBrush(colour);
        const RECT line{panel.bounds.left, panel.bounds.top + row, panel.bounds.right,
                        panel.bounds.top + row + 1};
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
}

// A pen that draws glyph strokes of the given width with round ends.
HPEN glyphPen(COLORREF colour, int width) {
    LOGBRUSH brush{BS_SOLID, colour, 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                        static_cast<DWORD>(width), &brush, 0, nullptr);
}

constexpr int kGlyphSize = 16;
constexpr int kGlyphGap = 4;

void drawGlyph(HDC dc, Glyph glyph, int left, int top, bool enabled) {
    if (glyph == Glyph::None) return;
    const COLORREF colour = !enabled                ? GetSysColor(COLOR_GRAYTEXT)
                            : glyph == Glyph::Check ? RGB(0x1E, 0x8C, 0x1E)
                                                    : RGB(0x20, 0x20, 0x20);
    const HPEN pen = glyphPen(colour, glyph == Glyph::Check ? 3 : 2);
    const HGDIOBJ previous = SelectObject(dc, pen);
    if (glyph == Glyph::Check) {
        const POINT stroke[] = {{left + 3, top + 8}, {left + 6, top + 12}, {left + 13, top + 3}};
        Polyline(dc, stroke, 3);
    } else {
        MoveToEx(dc, left + 4, top + 4, nullptr);
        LineTo(dc, left + 12, top + 12);
        MoveToEx(dc, left + 12, top + 4, nullptr);
        LineTo(dc, left + 4, top + 12);
    }
    SelectObject(dc, previous);
    DeleteObject(pen);
}

HWND hostFromHandle(std::uint32_t handle) {
    // Window handles are 32-bit values that 64-bit Windows sign-extends.
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the host's handle arrives as a number
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

bool isOwnButton(HWND window, HWND candidate) {
    return candidate != nullptr && GetParent(candidate) == window &&
           buttonWithId(GetDlgCtrlID(candidate)) != nullptr;
}

}  // namespace

NativeForm::NativeForm(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &NativeForm::windowProcedure;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    windowFont_ = makeFont(L"MS Sans Serif", 8, false);
    panelFont_ = makeFont(L"Arial", 12, true);
    versionFont_ = makeFont(L"MS Sans Serif", 8, true);
}

NativeForm::~NativeForm() {
    // The controller may be gone already: a window still standing now goes without it.
    controller_ = nullptr;
    messages_ = nullptr;
    if (window_ != nullptr) DestroyWindow(window_);
    for (HFONT font : {windowFont_, panelFont_, versionFont_})
        if (font != nullptr) DeleteObject(font);
}

void NativeForm::attach(FormController& controller, MessagePresenter& messages) {
    controller_ = &controller;
    messages_ = &messages;
}

EmbedResult NativeForm::embedInHost(std::uint32_t hostHandle) {
    const HWND host = hostFromHandle(hostHandle);
    // A handle that names no window leaves the window stand-alone, with its border; the
    // run and the status file go on as in hosted mode.
    if (!IsWindow(host)) return {false, {}};
    host_ = host;
    return {true, {}};
}

bool NativeForm::create() {
    const std::wstring caption = widen(kCaption);
    if (host_ != nullptr) {
        // Borderless inside the host's client area, keeping its own size, centred there.
        RECT area{};
        GetClientRect(host_, &area);
        const int left = std::max<LONG>(0, (area.right - area.left - kClientWidth) / 2);
        const int top = std::max<LONG>(0, (area.bottom - area.top - kClientHeight) / 2);
        CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, caption.c_str(),
                        WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, left, top, kClientWidth,
                        kClientHeight, host_, nullptr, instance_, this);
    }
    if (window_ == nullptr) {
        // A dialog-style window: a frame that cannot be dragged, no minimise or maximise
        // buttons, the client area of the layout, centred on the screen.
        constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        constexpr DWORD extended = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        RECT frame{0, 0, kClientWidth, kClientHeight};
        AdjustWindowRectEx(&frame, style, FALSE, extended);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        CreateWindowExW(extended, kWindowClass, caption.c_str(), style,
                        (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                        (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                        nullptr, instance_, this);
        if (window_ == nullptr) return false;
        // As a dialog's: only Move and Close.
        if (const HMENU menu = GetSystemMenu(window_, FALSE)) {
            for (UINT item : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
                DeleteMenu(menu, item, MF_BYCOMMAND);
        }
    }
    // Destroying the host window normally takes this one with it (WM_DESTROY below). Should
    // the host vanish and leave this window behind, or vanish before it was made (then it
    // stands alone), the window closes as if the user had closed it.
    if (host_ != nullptr) SetTimer(window_, kHostWatchTimer, kHostWatchMilliseconds, nullptr);
    return true;
}

void NativeForm::createControls() {
    SetWindowContextHelpId(window_, kHelpContext);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
    for (const ButtonLayout& layout : kButtons) {
        const HWND button = CreateWindowExW(
            0, L"BUTTON", layout.caption,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY, layout.bounds.left,
            layout.bounds.top, layout.bounds.right - layout.bounds.left,
            layout.bounds.bottom - layout.bounds.top, window_,
            // NOLINTNEXTLINE(performance-no-int-to-ptr): a child window's id goes as its menu
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_), FALSE);
        SetWindowContextHelpId(button, kHelpContext);
    }
}

void NativeForm::show() {
    if (window_ == nullptr) return;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    focusButton();
}

void NativeForm::focusButton() {
    SetFocus(isOwnButton(window_, lastFocused_) ? lastFocused_
                                                : GetDlgItem(window_, kExportButton));
}

int NativeForm::runMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got < 0) return 1;
        // The dialog manager's keyboard: Tab and Shift+Tab between the buttons, Enter on
        // the focused one, Alt+S for "&Salir".
        if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void NativeForm::setBusyCursor(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void NativeForm::repaintNow() {
    if (window_ != nullptr && IsWindowVisible(window_))
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

std::uintptr_t NativeForm::nativeHandle() const {
    return reinterpret_cast<std::uintptr_t>(window_);
}

void NativeForm::closeWindow() {
    if (window_ != nullptr) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
    } else if (controller_ != nullptr) {
        controller_->FormClose();
    }
}

void NativeForm::endProgram() { PostQuitMessage(0); }

template <typename Handler>
void NativeForm::guarded(Handler&& handler) {
    // Nothing may leave a window procedure as an exception: what a handler did not catch is
    // shown in the error box, and the window stays.
    try {
        handler();
    } catch (const Error& error) {
        if (messages_ != nullptr)
            messages_->showError(text::errorBoxText(error.what()), error.detail());
    } catch (const std::exception& error) {
        if (messages_ != nullptr) messages_->showError(text::errorBoxText(error.what()), {});
    }
}

void NativeForm::command(int id) {
    if (controller_ == nullptr) return;
    switch (id) {
        case kExportButton:
            guarded([this] { controller_->BExportarClick(); });
            break;
        case kImportButton:
            guarded([this] { controller_->BImportarClick(); });
            break;
        case kCloseButton:
            closeWindow();
            break;
        case kHelpButton:
            guarded([this] { controller_->Button1Click(); });
            break;
        default:
            break;  // IDOK, IDCANCEL: Enter away from a button, Escape
    }
}

LRESULT CALLBACK NativeForm::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    NativeForm* form = nullptr;
    if (message == WM_NCCREATE) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): WM_NCCREATE's lParam is the pointer
        form = static_cast<NativeForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the pointer stored at WM_NCCREATE
        form = reinterpret_cast<NativeForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = form->handleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->window_ = nullptr;
    }
    return result;
}

LRESULT NativeForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            createControls();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(window_, &ps);
            RECT client{};
            GetClientRect(window_, &client);
            // Drawn off-screen first, so the panels never flicker through the button face.
            const HDC buffer = CreateCompatibleDC(dc);
            const HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            const HGDIOBJ previous = SelectObject(buffer, bitmap);
            paint(buffer, client);
            BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
            SelectObject(buffer, previous);
            DeleteObject(bitmap);
            DeleteDC(buffer);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_DRAWITEM:
            // NOLINTNEXTLINE(performance-no-int-to-ptr): WM_DRAWITEM's lParam is the pointer
            drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) command(LOWORD(wParam));
            // NOLINTNEXTLINE(performance-no-int-to-ptr): a notification's lParam is the button
            if (HIWORD(wParam) == BN_SETFOCUS) lastFocused_ = reinterpret_cast<HWND>(lParam);
            return 0;
        case WM_LBUTTONDOWN:
            // A click beside the buttons brings the keyboard here, as in a dialog (the
            // embedded window is never activated on its own).
            focusButton();
            return 0;
        case DM_GETDEFID: {
            // Enter presses the focused button: the dialog manager asks for the default
            // button and is given the one that has the focus.
            const HWND focus = GetFocus();
            if (isOwnButton(window_, focus)) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
            return 0;
        }
        case WM_HELP: {
            // F1 anywhere in the window: the context the focused control carries. Answered
            // here, so that it never travels on to the host window.
            // NOLINTNEXTLINE(performance-no-int-to-ptr): WM_HELP's lParam is the pointer
            const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
            const int context = info != nullptr && info->dwContextId != 0
                                    ? static_cast<int>(info->dwContextId)
                                    : kHelpContext;
            if (controller_ != nullptr) guarded([this, context] { controller_->F1Help(context); });
            return TRUE;
        }
        case WM_SETCURSOR:
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            // A plain window does not give the focus back to its button on activation as a
            // dialog does.
            if (LOWORD(wParam) != WA_INACTIVE) focusButton();
            return 0;
        case WM_TIMER:
            if (wParam == kHostWatchTimer && host_ != nullptr && !IsWindow(host_)) {
                KillTimer(window_, kHostWatchTimer);
                closeWindow();
            }
            return 0;
        case WM_CLOSE:
            // Salir, Alt+S, the system's close command, a hosted run's end, the host gone:
            // the status is written and the program ends.
            if (controller_ != nullptr) guarded([this] { controller_->FormClose(); });
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            KillTimer(window_, kHostWatchTimer);
            // Destroyed without WM_CLOSE: the host window took its children with it.
            if (controller_ != nullptr && !controller_->isClosed())
                guarded([this] { controller_->FormClose(); });
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void NativeForm::paint(HDC dc, const RECT& client) const {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    for (const PanelLayout& panel : kPanels) paintGradient(dc, panel);
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ previous = SelectObject(dc, panelFont_);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const LabelLayout& label : kPanelLabels) {
        RECT bounds = label.bounds;
        DrawTextW(dc, label.text, -1, &bounds, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
    SelectObject(dc, versionFont_);
    SetTextColor(dc, RGB(0xFF, 0, 0));
    const std::wstring version = widen("TransHoralisQuelva versión " TH_APP_VERSION);
    RECT bounds = kVersionLabel;
    DrawTextW(dc, version.c_str(), -1, &bounds, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
}

void NativeForm::drawButton(const DRAWITEMSTRUCT& item) const {
    const ButtonLayout* layout = buttonWithId(static_cast<int>(item.CtlID));
    if (layout == nullptr) return;
    const HDC dc = item.hDC;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool enabled = (item.itemState & ODS_DISABLED) == 0;
    RECT frame = item.rcItem;
    FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
    // The focused button is the one Enter presses: it wears the default button's dark rim.
    if (focused) {
        FrameRect(dc, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&frame, -1, -1);
    }
    if (pressed) {
        FrameRect(dc, &frame, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH);
    }

    const HGDIOBJ previous = SelectObject(dc, windowFont_);
    const UINT prefix = (item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0;
    RECT textSize{0, 0, 0, 0};
    DrawTextW(dc, layout->caption, -1, &textSize, DT_SINGLELINE | DT_CALCRECT | prefix);
    const int glyphWidth = layout->glyph == Glyph::None ? 0 : kGlyphSize + kGlyphGap;
    const int contentWidth = glyphWidth + (textSize.right - textSize.left);
    const int shift = pressed ? 1 : 0;
    const int left =
        item.rcItem.left + (item.rcItem.right - item.rcItem.left - contentWidth) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
    drawGlyph(dc, layout->glyph, left, middle - kGlyphSize / 2, enabled);
    RECT text{left + glyphWidth, item.rcItem.top + shift, item.rcItem.right,
              item.rcItem.bottom + shift};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, layout->caption, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    SelectObject(dc, previous);

    if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace thq::app::win32
#endif  // _WIN32
