#pragma once
// MainForm's behaviour: the run modes, the two runs, the messages that end them, the busy
// cursor, the completion status and its file, hosted closing and the help requests. The
// window that shows it (FormView) only draws and asks; it calls the handlers below when its
// events happen, so each behaviour is written and tested once, whatever the window system.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/form_view.hpp"
#include "app/help_routing.hpp"
#include "app/run_modes.hpp"
#include "export/export_run.hpp"

namespace thq::app {

inline constexpr const char* kHelpFile = "QUELVA.chm";
inline constexpr const char* kCompletedMessage = "Proceso finalizado";
inline constexpr const char* kMissingMessage = "No existe archivo";

// What the program entry (or a test) gives the controller.
struct FormSettings {
    std::vector<std::string> parameters;     // command-line parameters, UTF-8
    std::filesystem::path executableFolder;  // where the status file lives
    std::filesystem::path workFolder;        // the runs' work folder
    help::HelpSystem* help = nullptr;        // the application's help system; none: no help
    exporter::ExportOptions exportOptions;   // document limits, observers of the export steps
};

class FormController {
public:
    // The view, chooser and presenter must outlive the controller. Nothing happens until the
    // view calls FormCreate.
    FormController(FormSettings settings, FormView& view, DocumentChooser& chooser,
                   MessagePresenter& messages);

    // The window's handlers, called by the view.
    // Creation: the status starts at 0; exactly two parameters whose second is a hexadecimal
    // handle embed the window in that host and select hosted mode.
    void FormCreate();
    // First show, before the window is first drawn: with exactly two parameters, the run that
    // parameter 1 names. A hosted run that ends closes the window before it was ever shown.
    void FormShow();
    // The window is closing, whatever closed it: in hosted mode the status goes to the status
    // file; then the program ends. Only the first call counts.
    void FormClose();
    void BExportarClick();
    void BImportarClick();
    // "F1 Ayuda": the table of contents of QUELVA.chm.
    void Button1Click();
    // F1: the topic of the help context that the focused control carries.
    void F1Help(int context);
    // A problem met outside the handlers, such as the help viewer's (no help file, nothing
    // to show it with): shown in the error box as the runs' errors are, full stop included.
    void reportProblem(const std::string& message, const std::string& detail = {});

    std::int32_t LaunchParamCount() const { return launchParamCount_; }
    std::int32_t TransformStatus() const { return transformStatus_; }
    const std::filesystem::path& CurrentDocumentPath() const { return currentDocumentPath_; }
    bool isHosted() const { return launchParamCount_ == 2; }
    // True when hosted mode put the window inside the host window.
    bool isEmbedded() const { return embedded_; }
    // True once FormClose has run.
    bool isClosed() const { return closed_; }

private:
    void run(Direction direction);
    void missingDocument();
    void showError(const std::string& message, const std::string& detail);

    FormSettings settings_;
    FormView& view_;
    DocumentChooser& chooser_;
    MessagePresenter& messages_;
    std::int32_t launchParamCount_ = 0;
    std::int32_t transformStatus_ = 0;
    std::filesystem::path currentDocumentPath_;
    bool embedded_ = false;
    bool closed_ = false;
};

}  // namespace thq::app
