#include "app/desktop_program.hpp"

#include <QApplication>
#include <QStringList>

#include "app/dialogs.hpp"
#include "app/help_backend.hpp"
#include "app/help_routing.hpp"
#include "app/main_form.hpp"
#include "app/platform_window.hpp"
#include "data/work_folder.hpp"

namespace thq::app {

int runDesktopProgram(int argc, char* argv[], const ProgramStandIns& standIns) {
    // The help routing starts before the application object and the window; help is only
    // asked for through the window, whose controller shows what went wrong in its error box.
    FormController* controller = nullptr;
    auto reportHelpProblem = [&controller](const std::string& problem) {
        if (controller != nullptr) controller->reportProblem(problem);
    };
    std::unique_ptr<help::HelpSystem> helpSystem;
    std::shared_ptr<help::HtmlHelpBackend> helpBackend =
        help::makePlatformHelpBackend(reportHelpProblem);

    QApplication application(argc, argv);
    installSpanishTranslations();
    helpSystem = std::make_unique<help::HelpSystem>(toPath(QCoreApplication::applicationDirPath()));
    help::installHelpRouting(*helpSystem, helpBackend);
    helpSystem->setApplicationHelpFile(kHelpFile);
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));

    const std::unique_ptr<MessagePresenter> messages = makeMessagePresenter();
    const std::filesystem::path workFolder = thq::data::resolveWorkFolder(std::nullopt);
    const std::unique_ptr<DocumentChooser> chooser =
        standIns.chooser ? standIns.chooser() : makeChooser(nullptr, workFolder);
    const std::unique_ptr<WindowEmbedder> embedder = makePlatformEmbedder();

    FormServices services;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        services.parameters.push_back(arguments[i].toStdString());
    services.executableFolder = toPath(QCoreApplication::applicationDirPath());
    services.workFolder = workFolder;
    services.chooser = chooser.get();
    services.messages = messages.get();
    services.embedder = embedder.get();
    services.help = helpSystem.get();

    int exitCode = 0;
    {
        TMForm MForm(std::move(services));
        controller = &MForm.controller();
        MForm.show();
        if (!MForm.controller().isClosed()) exitCode = QApplication::exec();
        controller = nullptr;
    }
    helpSystem->shutdown();
    return exitCode;
}

}  // namespace thq::app
