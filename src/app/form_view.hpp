#pragma once
// What the main window's controller asks of the window that shows it, and what every view
// of that window shares. Plain C++ with UTF-8 texts and std::filesystem paths, so the same
// controller drives the Qt window on Linux and a native window on Windows: a view builds its
// controls, forwards its events (creation, first show, the buttons, F1, closing) to the
// controller and answers these calls; the behaviour lives in the controller alone.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace thq::app {

// Shared by every view of the main window.
inline constexpr const char* kApplicationTitle = "TransHoralisQuelva";  // caption of the boxes
inline constexpr const char* kCaption = "Exportar e importar datos entre Horalia y Quelva ";
inline constexpr int kClientWidth = 632;
inline constexpr int kClientHeight = 266;
// The help context that the window, its panels and its buttons carry (F1).
inline constexpr int kHelpContext = 3;

// `OpenDialogXML`: the file-open chooser both runs share ("Archivo XML", "*.xml", opening in
// the work folder's "quelva" subfolder).
class DocumentChooser {
public:
    virtual ~DocumentChooser() = default;
    // The confirmed file's full path; none when the user cancelled. The file need not exist:
    // the run tests that itself.
    virtual std::optional<std::filesystem::path> choose() = 0;
};

// The message box and the error box: modal, captioned kApplicationTitle, one button "Aceptar"
// that Enter and Escape both press. Each returns when the user has dismissed the box.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // The message box, no icon: "Proceso finalizado", "No existe archivo".
    virtual void showMessage(const std::string& text) = 0;
    // The error box, error icon; `text` is shown as given (the controller has added its full
    // stop), `detail` as the box's detailed text when not empty.
    virtual void showError(const std::string& text, const std::string& detail) = 0;
};

// Putting the window inside the host window.
struct EmbedResult {
    bool embedded = false;
    // Why the window stays stand-alone, for the user; empty when there is nothing the user
    // could do about it.
    std::string problem;
};

// The main window itself.
class FormView {
public:
    virtual ~FormView() = default;

    // Hosted mode: make the window a borderless child of the host window (an HWND on Windows,
    // an X11 window id under X11) and place it in the host's client area. Called at most once,
    // from FormCreate, before the window is first shown.
    virtual EmbedResult embedInHost(std::uint32_t hostHandle) = 0;

    // The application-wide wait cursor (true), or the default cursor again (false).
    virtual void setBusyCursor(bool busy) = 0;

    // Called once a run has found its document, just before the work that keeps the message
    // loop waiting for seconds: draw the window now, so that what the closed chooser covered
    // does not stay on the screen. Nothing to do while the window is not shown yet.
    virtual void repaintNow() = 0;

    // The window's native handle (HWND, X11 window id): the owner of the help windows.
    virtual std::uintptr_t nativeHandle() const = 0;

    // Close the window, as the system's close command would. Whatever closes the window (this
    // call, Salir, Alt+S, the system's close command, the host window going away), the view's
    // close handling calls FormController::FormClose once, and the window goes.
    virtual void closeWindow() = 0;

    // The last thing FormClose does: end the message loop, so that the program ends. Closing
    // must end the program in every case, also where the window system would not see the last
    // window close (an embedded window is not a top-level window). When no loop runs yet (a
    // run started at show closed the window), the program ends once the show handler returns.
    virtual void endProgram() = 0;
};

}  // namespace thq::app
