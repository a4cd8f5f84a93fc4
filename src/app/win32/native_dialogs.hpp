#pragma once
// The chooser and the two boxes of the native Windows window: GetOpenFileNameW and
// MessageBoxW, owned by the main window so that it takes no clicks while they wait.
#ifdef _WIN32
#include <filesystem>
#include <optional>
#include <string>

#include "app/form_view.hpp"

namespace thq::app::win32 {

// `OpenDialogXML`: title "Archivo XML", the one filter "*.xml", default extension "xml",
// opening in the work folder's "quelva" subfolder and offering the file confirmed last.
class OpenFileChooser final : public DocumentChooser {
public:
    // `owner` gives the window the chooser belongs to (it may not exist yet).
    OpenFileChooser(const FormView& owner, const std::filesystem::path& workFolder);
    // Throws thq::Error when the chooser cannot be shown at all.
    std::optional<std::filesystem::path> choose() override;

private:
    const FormView& owner_;
    std::filesystem::path initialFolder_;
    std::wstring lastConfirmed_;
};

// The message box (no icon) and the error box (error icon, the detail after a blank line),
// captioned "TransHoralisQuelva", centred on the screen, one button "Aceptar".
class MessageBoxes final : public MessagePresenter {
public:
    explicit MessageBoxes(const FormView& owner) : owner_(owner) {}
    void showMessage(const std::string& text) override;
    void showError(const std::string& text, const std::string& detail) override;

private:
    const FormView& owner_;
};

}  // namespace thq::app::win32
#endif  // _WIN32
