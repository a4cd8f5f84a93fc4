// TransHoralisQuelva on Windows: the native window over the export and import runs.
//
// Started without parameters it is a stand-alone window. Started by the timetable program
// with the direction and the host window's handle ("exportar 1A2B"), it shows itself inside
// the host, runs at once, closes when done and leaves the status in Horalia.ini beside the
// executable.
#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form_controller.hpp"
#include "app/help_backend.hpp"
#include "app/help_routing.hpp"
#include "app/win32/native_dialogs.hpp"
#include "app/win32/native_form.hpp"
#include "app/win32/wide_text.hpp"
#include "data/error.hpp"
#include "data/platform_process.hpp"
#include "data/text.hpp"
#include "data/work_folder.hpp"

namespace {

using namespace thq::app;

std::filesystem::path executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::filesystem::current_path();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The help routing starts first, as the rest of the program relies on it being there.
    const std::filesystem::path programFolder = executableFolder();
    help::HelpSystem helpSystem(programFolder);
    help::installHelpRouting(helpSystem, help::makePlatformHelpBackend({}));
    helpSystem.setApplicationHelpFile(kHelpFile);

    // HTEMP is read as UTF-16, so any folder name works.
    const std::filesystem::path folder = thq::data::resolveWorkFolder(std::nullopt);
    win32::NativeForm form(instance);
    const std::unique_ptr<DocumentChooser> chooser =
        std::make_unique<win32::OpenFileChooser>(form, folder);
    const std::unique_ptr<MessagePresenter> messages = std::make_unique<win32::MessageBoxes>(form);

    FormSettings settings;
    settings.parameters = thq::platform::programArguments(0, nullptr);  // from UTF-16
    settings.executableFolder = programFolder;
    settings.workFolder = folder;
    settings.help = &helpSystem;
    FormController controller(std::move(settings), form, *chooser, *messages);
    form.attach(controller, *messages);

    int exitCode = 0;
    controller.FormCreate();
    if (!form.create()) {
        messages->showError(
            "No se pudo crear la ventana (error " + std::to_string(GetLastError()) + ").", {});
        controller.FormClose();
        exitCode = 1;
    } else {
        // The show handler runs before the window is first drawn; a hosted run that ends
        // closes the window before it ever appears.
        try {
            controller.FormShow();
        } catch (const thq::Error& error) {
            messages->showError(thq::text::errorBoxText(error.what()), error.detail());
        } catch (const std::exception& error) {
            messages->showError(thq::text::errorBoxText(error.what()), {});
        }
        if (!controller.isClosed()) {
            form.show();
            exitCode = form.runMessageLoop();
        }
    }
    helpSystem.shutdown();
    return exitCode;
}
#endif  // _WIN32
