#pragma once
// MainForm on Qt Widgets: the one main window `TMForm` as the user sees it. It builds the
// layout, forwards its events to the FormController that holds the behaviour (the run modes,
// the runs, the status file, hosted closing, help) and answers the controller's calls.
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form_controller.hpp"
#include "app/form_view.hpp"
#include "app/platform_window.hpp"

namespace thq::app {

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

// What the window is given by the program entry (or by a test). A chooser, presenter or
// embedder left out is the real one: the Qt chooser, the message boxes, the platform's
// embedder.
struct FormServices {
    std::vector<std::string> parameters;     // command-line parameters, UTF-8
    std::filesystem::path executableFolder;  // where the status file lives
    std::filesystem::path workFolder;        // the runs' work folder
    DocumentChooser* chooser = nullptr;      // OpenDialogXML
    MessagePresenter* messages = nullptr;    // message and error boxes
    WindowEmbedder* embedder = nullptr;      // hosted mode's platform adapter
    help::HelpSystem* help = nullptr;        // the application's help system
    exporter::ExportOptions exportHooks;     // observers of the export steps
};

class TMForm final : public QWidget, public FormView {
public:
    // Builds the window and runs the creation handler. The services must outlive the window.
    explicit TMForm(FormServices services);
    ~TMForm() override;
    TMForm(const TMForm&) = delete;
    TMForm& operator=(const TMForm&) = delete;

    FormController& controller() { return controller_; }
    const FormController& controller() const { return controller_; }

    // The first show runs the show handler before the window is first drawn.
    void setVisible(bool visible) override;

    // FormView.
    EmbedResult embedInHost(std::uint32_t hostHandle) override;
    void setBusyCursor(bool busy) override;
    void repaintNow() override;
    std::uintptr_t nativeHandle() const override;
    void closeWindow() override;
    void endProgram() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    // F1: help for the context of the focused control.
    void helpForFocus();
    WindowEmbedder& embedder();
    // Embedded: closes the window once the host window has gone.
    void checkHost();

    FormServices services_;
    std::unique_ptr<DocumentChooser> ownChooser_;
    std::unique_ptr<MessagePresenter> ownMessages_;
    std::unique_ptr<WindowEmbedder> ownEmbedder_;
    FormController controller_;
    bool showHandled_ = false;
    bool busy_ = false;
    std::uint32_t hostHandle_ = 0;
    QTimer hostWatch_;
};

}  // namespace thq::app
