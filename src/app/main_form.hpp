#pragma once
// MainForm: the one main window `TMForm` and its handlers. The window holds the state the
// runs share: the mode (`LaunchParamCount`), the completion status (`TransformStatus`) and
// the document most recently confirmed in the chooser (`CurrentDocumentPath`).
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/help_routing.hpp"
#include "app/interaction.hpp"
#include "app/platform_window.hpp"
#include "app/run_modes.hpp"
#include "export/export_run.hpp"

class QPushButton;
class QLabel;

namespace thq::app {

inline constexpr int kClientWidth = 632;
inline constexpr int kClientHeight = 266;
inline constexpr int kHelpContext = 3;
inline constexpr const char* kHelpFile = "QUELVA.chm";
inline constexpr const char* kCaption = "Exportar e importar datos entre Horalia y Quelva ";
inline constexpr const char* kCompletedMessage = "Proceso finalizado";
inline constexpr const char* kMissingMessage = "No existe archivo";

// Colour numbers hold blue in the high, green in the middle and red in the low byte.
QColor colourFromNumber(std::uint32_t bgr);

// A panel painted with a vertical gradient through three colours.
class GradientPanel final : public QWidget {
public:
    GradientPanel(QWidget* parent, std::uint32_t from, std::uint32_t through, std::uint32_t to);
    QColor colourAt(int stop) const { return colours_[stop]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colours_[3];
};

// What the window is given by the program entry (or by a test).
struct FormServices {
    std::vector<std::string> parameters;     // command-line parameters, UTF-8
    std::filesystem::path executableFolder;  // where the status file lives
    std::filesystem::path workFolder;        // the runs' work folder
    DocumentChooser* chooser = nullptr;      // OpenDialogXML
    MessagePresenter* messages = nullptr;    // message and error boxes
    WindowEmbedder* embedder = nullptr;      // hosted mode's platform adapter
    help::HelpSystem* help = nullptr;        // the application's help system
    exporter::ExportOptions exportHooks;       // observers of the export steps
};

class TMForm final : public QWidget {
public:
    // Builds the window and runs `FormCreate`. The services must outlive the window.
    explicit TMForm(FormServices services);

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void BExportarClick();
    void BImportarClick();
    void Button1Click();
    // F1: help for the context of the focused control.
    void helpForFocus();

    std::int32_t LaunchParamCount() const { return launchParamCount_; }
    std::int32_t TransformStatus() const { return transformStatus_; }
    const std::filesystem::path& CurrentDocumentPath() const { return currentDocumentPath_; }
    // True once the window has been closed (by a run, BClose or the system).
    bool isClosed() const { return closed_; }
    // True when hosted mode put the window inside the host window.
    bool isEmbedded() const { return embedded_; }

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void run(Direction direction);
    void missingDocument();
    void showError(const std::string& message, const std::string& detail);

    FormServices services_;
    std::int32_t launchParamCount_ = 0;
    std::int32_t transformStatus_ = 0;
    std::filesystem::path currentDocumentPath_;
    bool embedded_ = false;
    bool showHandled_ = false;
    bool closed_ = false;
};

}  // namespace thq::app
