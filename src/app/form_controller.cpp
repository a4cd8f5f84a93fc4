#include "app/form_controller.hpp"

#include <exception>
#include <system_error>

#include "app/status_file.hpp"
#include "data/error.hpp"
#include "data/text.hpp"
#include "import/import_run.hpp"

namespace thq::app {
namespace {

// The wait cursor for as long as a run's steps work. It goes back to the default before
// any box that ends the run: before "Proceso finalizado", and before the error box too, as
// a failed run leaves nothing working and a busy cursor over an idle window would say
// otherwise.
class BusyCursor {
public:
    explicit BusyCursor(FormView& view) : view_(view) { view_.setBusyCursor(true); }
    ~BusyCursor() { view_.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    FormView& view_;
};

}  // namespace

FormController::FormController(FormSettings settings, FormView& view, DocumentChooser& chooser,
                               MessagePresenter& messages)
    : settings_(std::move(settings)), view_(view), chooser_(chooser), messages_(messages) {}

void FormController::FormCreate() {
    transformStatus_ = 0;
    try {
        // Throws the conversion error for a handle that is not hexadecimal: the window then
        // stays stand-alone with its border, and closing writes nothing.
        const std::optional<std::uint32_t> host = hostWindowOf(settings_.parameters);
        if (!host) return;
        const EmbedResult result = view_.embedInHost(*host);
        embedded_ = result.embedded;
        if (!result.embedded && !result.problem.empty()) showError(result.problem, {});
        // Hosted all the same when the window system could not embed: the timetable program
        // waits for the status either way.
        launchParamCount_ = static_cast<std::int32_t>(settings_.parameters.size());
    } catch (const Error& error) {
        showError(error.what(), error.detail());
    }
}

void FormController::FormShow() {
    // The parameters are counted again: a handle that did not convert still runs.
    const Direction run = requestedRun(settings_.parameters);
    if (run == Direction::Import) BImportarClick();
    if (run == Direction::Export) BExportarClick();
}

void FormController::FormClose() {
    if (closed_) return;
    closed_ = true;
    if (isHosted()) {
        try {
            writeTransformStatus(statusFilePath(settings_.executableFolder), transformStatus_);
        } catch (const Error& error) {
            // Reported, but the program still ends: a window that cannot close would leave
            // the timetable program waiting for ever.
            showError(error.what(), error.detail());
        }
    }
    view_.endProgram();
}

void FormController::BExportarClick() { run(Direction::Export); }
void FormController::BImportarClick() { run(Direction::Import); }

void FormController::Button1Click() {
    if (settings_.help == nullptr) return;
    settings_.help->setApplicationHelpFile(kHelpFile);
    settings_.help->setWindowHandle(view_.nativeHandle());
    settings_.help->showTableOfContents();
}

void FormController::F1Help(int context) {
    if (settings_.help == nullptr) return;
    settings_.help->setWindowHandle(view_.nativeHandle());
    settings_.help->showContext(context, settings_.help->applicationHelpFile());
}

void FormController::reportProblem(const std::string& message, const std::string& detail) {
    showError(message, detail);
}

void FormController::run(Direction direction) {
    // A cancelled chooser runs on the document confirmed last, if any.
    if (auto chosen = chooser_.choose()) currentDocumentPath_ = std::move(*chosen);
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(currentDocumentPath_, ignored)) {
        missingDocument();
        return;
    }
    bool completed = false;
    try {
        BusyCursor busy(view_);
        view_.repaintNow();
        if (direction == Direction::Export) {
            completed =
                exporter::runExport(currentDocumentPath_, settings_.workFolder,
                                    settings_.exportOptions) == exporter::ExportOutcome::Completed;
        } else {
            completed = importer::runImport(currentDocumentPath_, settings_.workFolder).outcome ==
                        importer::ImportOutcome::Completed;
        }
    } catch (const Error& error) {
        // The run stops where it stands; the window stays open, also in hosted mode, and the
        // status keeps its value.
        showError(error.what(), error.detail());
        return;
    } catch (const std::exception& error) {
        showError(error.what(), {});
        return;
    }
    if (!completed) {  // the document went away after the test above
        missingDocument();
        return;
    }
    transformStatus_ = 1;
    messages_.showMessage(kCompletedMessage);
    if (isHosted()) view_.closeWindow();
}

void FormController::missingDocument() {
    messages_.showMessage(kMissingMessage);
    // Stand-alone, the status stays as it was: only the timetable program reads it.
    if (isHosted()) {
        transformStatus_ = -1;
        view_.closeWindow();
    }
}

void FormController::showError(const std::string& message, const std::string& detail) {
    messages_.showError(text::errorBoxText(message), detail);
}

}  // namespace thq::app
