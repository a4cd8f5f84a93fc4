// Help without the HTML Help API: the help file goes to whatever viewer the desktop has
// for it. A generic viewer takes no topic, index keyword or context number, so every
// request opens the file as a whole; closing the viewer's windows is not ours to do.
#include <QDesktopServices>
#include <QUrl>
#include <filesystem>

#include "app/dialogs.hpp"
#include "app/help_backend.hpp"

namespace thq::app::help {
namespace {

class DesktopHelpBackend final : public HtmlHelpBackend {
public:
    explicit DesktopHelpBackend(std::function<void(const std::string&)> report)
        : report_(std::move(report)) {}

    void htmlHelp(const HtmlHelpCall& call) override {
        if (call.command == HtmlHelpCommand::CloseAll) return;
        // A topic comes as help file + "::/" + topic.
        std::string file = call.file;
        if (const auto separator = file.find("::/"); separator != std::string::npos)
            file.erase(separator);
        const std::filesystem::path path(std::u8string(file.begin(), file.end()));
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(path, ignored)) {
            tell("No existe el archivo de ayuda " + file);
            return;
        }
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(toQString(path))))
            tell("No hay ningún programa para mostrar el archivo de ayuda " + file);
    }

private:
    void tell(const std::string& message) {
        if (report_) report_(message);
    }
    std::function<void(const std::string&)> report_;
};

}  // namespace

std::shared_ptr<HtmlHelpBackend> makePlatformHelpBackend(
    std::function<void(const std::string&)> reportProblem) {
    return std::make_shared<DesktopHelpBackend>(std::move(reportProblem));
}

}  // namespace thq::app::help
