// The main window's behaviour without a window: the controller driven through its handlers,
// with a view that writes every call it gets to one log, in order, and plays the user's
// part from a list of answers.
#include "app/form_controller.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "test_support.hpp"

namespace thq::app {
namespace {

using thq::test::TempDir;

constexpr std::uintptr_t kWindowHandle = 0x4D46;
const char* const kTables[] = {"ASIGNOMT", "ASIGNOMT2", "PROFT", "AULAT",
                               "CURSOST",  "GRUPOST",   "ASIGT", "DIASHORAST"};

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

// The window, the chooser and the boxes as the controller sees them.
class RecordingView final : public FormView, public DocumentChooser, public MessagePresenter {
public:
    EmbedResult embedInHost(std::uint32_t hostHandle) override {
        log.push_back("embed " + hex(hostHandle));
        return embedResult;
    }
    void setBusyCursor(bool on) override {
        busy = on;
        log.push_back(on ? "busy" : "idle");
    }
    void repaintNow() override { log.push_back("repaint"); }
    std::uintptr_t nativeHandle() const override { return kWindowHandle; }
    // The close handling of a window: whatever closes it calls FormClose.
    void closeWindow() override {
        log.push_back("close");
        controller->FormClose();
    }
    void endProgram() override { log.push_back("end"); }

    std::optional<std::filesystem::path> choose() override {
        log.push_back("choose");
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showMessage(const std::string& text) override { log.push_back("message: " + text); }
    void showError(const std::string& text, const std::string& detail) override {
        log.push_back("error: " + text + (detail.empty() ? "" : " | " + detail));
    }

    FormController* controller = nullptr;
    std::deque<std::optional<std::filesystem::path>> answers;
    EmbedResult embedResult{true, {}};
    std::vector<std::string> log;
    bool busy = false;
};

using Log = std::vector<std::string>;

// A controller over a recording view, a work folder and an executable folder of its own.
struct Window {
    explicit Window(std::vector<std::string> parameters = {}) {
        std::filesystem::create_directories(work());
        std::filesystem::create_directories(executableFolder());
        settings.parameters = std::move(parameters);
        settings.executableFolder = executableFolder();
        settings.workFolder = work();
    }
    // What a view does when it makes its window and first shows it.
    FormController& open() {
        controller = std::make_unique<FormController>(settings, view, view, view);
        view.controller = controller.get();
        controller->FormCreate();
        controller->FormShow();
        return *controller;
    }
    // The export steps: the log gets "work" when the first begins; each is counted, and
    // counted again when the busy cursor is up.
    void watchSteps() {
        settings.exportOptions.beforeStep = [this](std::string_view) {
            if (steps++ == 0) view.log.push_back("work");
            if (view.busy) ++busySteps;
        };
    }
    std::filesystem::path work() const { return dir / "HTEMP"; }
    std::filesystem::path executableFolder() const { return dir / "bin"; }
    std::filesystem::path statusFile() const { return executableFolder() / "Horalia.ini"; }
    std::optional<std::string> status() const {
        if (!std::filesystem::exists(statusFile())) return std::nullopt;
        return thq::test::readFile(statusFile());
    }
    static std::string statusText(int value) {
        return "[Transformadores]\r\nTransformado=" + std::to_string(value) + "\r\n";
    }

    TempDir dir;
    RecordingView view;
    FormSettings settings;
    std::unique_ptr<FormController> controller;
    int steps = 0;
    int busySteps = 0;
};

std::string label(const std::vector<std::string>& parameters) {
    std::string text;
    for (const auto& parameter : parameters) text += "[" + parameter + "]";
    return text.empty() ? "(none)" : text;
}

// The command lines of both modes. Every run here finds no document (the chooser is
// cancelled in a fresh window), which shows whether a run started and how it ended; and
// closing ends the program in every case.
TEST(FormController, RunModesFromTheCommandLine) {
    const std::string conversion = " no es un valor entero válido.";
    const struct {
        std::vector<std::string> parameters;
        int launchParamCount;
        std::optional<std::uint32_t> host;
        bool runs;
        std::string error;                  // shown by the creation handler
        std::optional<int> statusAfterRun;  // the status file once the window has closed
    } cases[] = {
        {{}, 0, std::nullopt, false, "", std::nullopt},
        {{"exportar"}, 0, std::nullopt, false, "", std::nullopt},
        {{"exportar", "1A2B", "x"}, 0, std::nullopt, false, "", std::nullopt},
        {{"EXPORTAR", "1A2B"}, 2, 0x1A2B, true, "", -1},
        {{"Exportar", "00001a2b"}, 2, 0x1A2B, true, "", -1},
        {{"iMpOrTaR", "ff"}, 2, 0xFF, true, "", -1},
        {{"exportar", "FFFFFFFF"}, 2, 0xFFFFFFFFu, true, "", -1},
        {{"exportr", "1A2B"}, 2, 0x1A2B, false, "", 0},
        {{"exportar ", "1A2B"}, 2, 0x1A2B, false, "", 0},
        {{"exportar", "0x1A2B"}, 0, std::nullopt, true, "'$0x1A2B'", std::nullopt},
        {{"exportar", "$1A2B"}, 0, std::nullopt, true, "'$$1A2B'", std::nullopt},
        {{"exportar", "-1A2B"}, 0, std::nullopt, true, "'$-1A2B'", std::nullopt},
        {{"exportar", " 1A2B"}, 0, std::nullopt, true, "'$ 1A2B'", std::nullopt},
        {{"exportar", "123456789"}, 0, std::nullopt, true, "'$123456789'", std::nullopt},
        {{"importar", ""}, 0, std::nullopt, true, "'$'", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(label(c.parameters));
        Window window(c.parameters);
        FormController& form = window.open();

        EXPECT_EQ(form.LaunchParamCount(), c.launchParamCount);
        EXPECT_EQ(form.isHosted(), c.launchParamCount == 2);
        EXPECT_EQ(form.isEmbedded(), c.host.has_value());
        Log expected;
        if (c.host) expected.push_back("embed " + hex(*c.host));
        if (!c.error.empty()) expected.push_back("error: " + c.error + conversion);
        if (c.runs) expected.insert(expected.end(), {"choose", "message: No existe archivo"});
        // Hosted runs close the window at their end; anything else stays open until closed.
        const bool closedByRun = c.runs && c.launchParamCount == 2;
        if (closedByRun) expected.insert(expected.end(), {"close", "end"});
        EXPECT_EQ(window.view.log, expected);
        EXPECT_EQ(form.isClosed(), closedByRun);

        if (!closedByRun) {
            EXPECT_EQ(window.status(), std::nullopt);
            window.view.closeWindow();  // Salir
            expected.insert(expected.end(), {"close", "end"});
            EXPECT_EQ(window.view.log, expected);
        }
        EXPECT_TRUE(form.isClosed());
        EXPECT_EQ(form.TransformStatus(), c.statusAfterRun.value_or(0));
        EXPECT_EQ(window.status(), c.statusAfterRun
                                       ? std::optional(Window::statusText(*c.statusAfterRun))
                                       : std::nullopt);
    }
}

// Hosted runs that complete: the cursor is busy from the moment the document is found until
// just before "Proceso finalizado", the window repaints before the work, and the window then
// closes with the status 1.
TEST(FormController, HostedRunsThatCompleteLeaveStatusOne) {
    const struct {
        std::vector<std::string> parameters;
        bool exportRun;
    } cases[] = {
        {{"exportar", "1A2B"}, true},
        {{"IMPORTAR", "0"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(label(c.parameters));
        Window window(c.parameters);
        const auto document = thq::test::copySampleDocument(window.dir.path());
        if (!c.exportRun) {
            exporter::runExport(document, window.work());
            demo::writeDemoSolution(window.work());
        }
        window.watchSteps();
        window.view.answers.push_back(document);
        FormController& form = window.open();

        Log expected = {"embed " + hex(std::stoul(c.parameters[1], nullptr, 16)), "choose", "busy",
                        "repaint"};
        if (c.exportRun) expected.push_back("work");
        expected.insert(expected.end(), {"idle", "message: Proceso finalizado", "close", "end"});
        EXPECT_EQ(window.view.log, expected);
        EXPECT_EQ(window.busySteps, window.steps);
        EXPECT_EQ(window.steps > 0, c.exportRun);
        EXPECT_TRUE(form.isClosed());
        EXPECT_EQ(form.TransformStatus(), 1);
        EXPECT_EQ(form.CurrentDocumentPath(), document);
        EXPECT_EQ(window.status(), Window::statusText(1));
        if (c.exportRun) {
            for (const char* table : kTables)
                EXPECT_TRUE(std::filesystem::exists(window.work() / (std::string(table) + ".DBF")))
                    << table;
        } else {
            EXPECT_TRUE(std::filesystem::exists(window.dir / "ResultadoHoralishorario.xml"));
        }
    }
}

// Hosted runs without a document: "No existe archivo", no busy cursor, the window closes and
// the status file holds -1.
TEST(FormController, HostedRunWithoutADocumentLeavesStatusMinusOne) {
    TempDir place;
    const struct {
        const char* name;
        std::optional<std::filesystem::path> answer;
    } cases[] = {
        {"cancelled, nothing chosen before", std::nullopt},
        {"a typed name that does not exist", place / "no.xml"},
        {"a folder", place.path()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window window({"importar", "1A2B"});
        window.view.answers.push_back(c.answer);
        FormController& form = window.open();
        EXPECT_EQ(window.view.log,
                  (Log{"embed 00001A2B", "choose", "message: No existe archivo", "close", "end"}));
        EXPECT_EQ(form.TransformStatus(), -1);
        EXPECT_EQ(window.status(), Window::statusText(-1));
    }
}

// A run that fails: the error box (message with its full stop, and where), the window stays open in
// hosted mode too, the status keeps its value. The cursor is back to normal before the error
// box, as it always was in this tool: a failed run leaves nothing working.
TEST(FormController, FailingRunsShowTheErrorAndKeepTheWindowOpen) {
    const std::string kConversionError =
        "error: '90.5' no es un valor entero válido. | MATERIAS, fila 1, valor 4 (minutos): "
        "'90.5'";
    const struct {
        std::vector<std::string> parameters;
        bool exportRun;
        std::string error;  // empty: any text
    } cases[] = {
        {{"exportar", "1A2B"}, true, kConversionError},
        {{}, true, kConversionError},
        {{}, false, ""},                    // no work tables to read
        {{"importar", "1A2B"}, false, ""},  // the same, hosted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(label(c.parameters) + (c.exportRun ? " export" : " import"));
        Window window(c.parameters);
        window.view.answers.push_back(thq::test::writeFailingDocument(window.dir.path()));
        FormController& form = window.open();
        if (c.parameters.empty()) {
            c.exportRun ? form.BExportarClick() : form.BImportarClick();
        }
        Log& log = window.view.log;
        ASSERT_GE(log.size(), 5u);
        const Log tail(log.end() - 5, log.end());
        EXPECT_EQ(Log(tail.begin(), tail.end() - 1), (Log{"choose", "busy", "repaint", "idle"}));
        if (c.error.empty()) {
            EXPECT_EQ(tail.back().rfind("error: ", 0), 0u) << tail.back();
        } else {
            EXPECT_EQ(tail.back(), c.error);
        }
        EXPECT_FALSE(window.view.busy);
        EXPECT_FALSE(form.isClosed());
        EXPECT_EQ(form.TransformStatus(), 0);
        EXPECT_EQ(window.status(), std::nullopt);

        // Salir: hosted mode writes the status as it stands.
        window.view.closeWindow();
        EXPECT_EQ(Log(log.end() - 2, log.end()), (Log{"close", "end"}));
        EXPECT_EQ(window.status(),
                  c.parameters.empty() ? std::nullopt : std::optional(Window::statusText(0)));
    }
}

// The error box: the full stop added when the message's last character has a code above
// that of the full stop, and the error's detail beside it.
TEST(FormController, ErrorBoxTextAndDetail) {
    const struct {
        std::function<void()> fail;
        std::string shown;
    } cases[] = {
        {[] { throw Error(ErrorKind::InputOutput, "Fallo de prueba", "en el paso de profesores"); },
         "error: Fallo de prueba. | en el paso de profesores"},
        {[] { throw Error(ErrorKind::InputOutput, "Fallo."); }, "error: Fallo."},
        {[] { throw Error(ErrorKind::InputOutput, "Fallo!"); },
         "error: Fallo!"},  // '!' comes before '.'
        {[] { throw Error(ErrorKind::InputOutput, "Falta C:\\HTEMP\\"); },
         "error: Falta C:\\HTEMP\\."},
        {[] { throw Error(ErrorKind::InputOutput, "No se encontró"); }, "error: No se encontró."},
        {[] { throw std::runtime_error("sin memoria"); }, "error: sin memoria."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        Window window;
        window.view.answers.push_back(thq::test::copySampleDocument(window.dir.path()));
        window.settings.exportOptions.beforeStep = [&c](std::string_view step) {
            if (step == "BuildTeacherTable") c.fail();
        };
        FormController& form = window.open();
        form.BExportarClick();
        EXPECT_EQ(window.view.log, (Log{"choose", "busy", "repaint", "idle", c.shown}));
        EXPECT_FALSE(form.isClosed());
    }
}

// Stand-alone: runs from the buttons, as often as wanted; the document carries over when the
// chooser is cancelled; a missing document leaves the status alone; closing writes nothing.
TEST(FormController, StandAloneRunsCarryTheDocumentOver) {
    Window window;
    const auto document = thq::test::copySampleDocument(window.dir.path());
    window.view.answers = {std::nullopt, document, std::nullopt, window.dir / "no.xml"};
    FormController& form = window.open();
    EXPECT_EQ(window.view.log, Log{});  // no run at show

    form.BExportarClick();  // cancelled, nothing chosen before
    EXPECT_EQ(form.CurrentDocumentPath(), std::filesystem::path());
    form.BExportarClick();  // the document
    EXPECT_EQ(form.CurrentDocumentPath(), document);
    std::filesystem::remove(window.work() / "PROFT.DBF");
    form.BExportarClick();  // cancelled: the same document again
    EXPECT_EQ(form.CurrentDocumentPath(), document);
    EXPECT_TRUE(std::filesystem::exists(window.work() / "PROFT.DBF"));
    form.BExportarClick();  // a typed name that does not exist
    EXPECT_EQ(form.CurrentDocumentPath(), window.dir / "no.xml");

    const Log completed = {"choose", "busy", "repaint", "idle", "message: Proceso finalizado"};
    Log expected = {"choose", "message: No existe archivo"};
    expected.insert(expected.end(), completed.begin(), completed.end());
    expected.insert(expected.end(), completed.begin(), completed.end());
    expected.insert(expected.end(), {"choose", "message: No existe archivo"});
    EXPECT_EQ(window.view.log, expected);
    EXPECT_EQ(form.TransformStatus(), 1);
    EXPECT_FALSE(form.isClosed());
    window.view.closeWindow();
    EXPECT_EQ(window.view.log.back(), "end");
    EXPECT_EQ(window.status(), std::nullopt);
}

TEST(FormController, HostedModeClosesAfterALaterButtonRun) {
    // The requested run fails and the window stays; a later completed run closes it.
    Window window({"exportar", "1A2B"});
    window.view.answers = {thq::test::writeFailingDocument(window.dir.path()),
                           thq::test::copySampleDocument(window.dir.path())};
    FormController& form = window.open();
    EXPECT_FALSE(form.isClosed());
    form.BExportarClick();
    EXPECT_TRUE(form.isClosed());
    EXPECT_EQ(Log(window.view.log.end() - 3, window.view.log.end()),
              (Log{"message: Proceso finalizado", "close", "end"}));
    EXPECT_EQ(window.status(), Window::statusText(1));
}

// The status file is written on close in hosted mode only, and only its one key changes.
TEST(FormController, StatusFileKeepsTheRestAndIsWrittenOnlyWhenHosted) {
    const std::string before =
        "[Horalia]\r\nVersion=5\r\n[Transformadores]\r\nTransformado=7\r\nOtro=x\r\n";
    const struct {
        std::vector<std::string> parameters;
        std::string after;
    } cases[] = {
        {{"exportar", "1A2B"},
         "[Horalia]\r\nVersion=5\r\n[Transformadores]\r\nTransformado=1\r\nOtro=x\r\n"},
        {{}, before},
        {{"exportar", "0x1A2B"}, before},  // the handle did not convert: stand-alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(label(c.parameters));
        Window window(c.parameters);
        thq::test::writeFile(window.statusFile(), before);
        window.view.answers.push_back(thq::test::copySampleDocument(window.dir.path()));
        FormController& form = window.open();
        if (!form.isClosed()) {
            if (c.parameters.empty()) form.BExportarClick();
            EXPECT_EQ(form.TransformStatus(), 1);
            window.view.closeWindow();
        }
        EXPECT_EQ(window.status(), c.after);
    }
}

// A status file that cannot be written is reported, and the program ends all the same; the
// window closes once.
TEST(FormController, UnwritableStatusFileIsReportedAndTheProgramEnds) {
    Window window({"exportr", "1A2B"});
    std::filesystem::create_directory(window.statusFile());  // a folder in its place
    FormController& form = window.open();
    window.view.closeWindow();
    form.FormClose();  // a second close event changes nothing
    EXPECT_TRUE(form.isClosed());
    const Log& log = window.view.log;
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(Log(log.begin(), log.begin() + 2), (Log{"embed 00001A2B", "close"}));
    // The message with its full stop, then what the system said.
    const std::string error =
        "error: Unable to write to " + platform::displayPath(window.statusFile()) + ". | ";
    EXPECT_EQ(log[2].substr(0, error.size()), error);
    EXPECT_EQ(log[3], "end");
}

TEST(FormController, PlatformThatCannotEmbedSaysWhyAndStaysHosted) {
    Window window({"exportr", "1A2B"});
    window.view.embedResult = {false, "No se puede incrustar."};
    FormController& form = window.open();
    EXPECT_FALSE(form.isEmbedded());
    EXPECT_EQ(form.LaunchParamCount(), 2);
    EXPECT_EQ(window.view.log, (Log{"embed 00001A2B", "error: No se puede incrustar."}));
    window.view.closeWindow();
    EXPECT_EQ(window.status(), Window::statusText(0));
}

class RecordingBackend final : public help::HtmlHelpBackend {
public:
    void htmlHelp(const help::HtmlHelpCall& call) override {
        calls.push_back(call);
        if (report) report("No existe el archivo de ayuda " + call.file);
    }
    std::vector<help::HtmlHelpCall> calls;
    // Where a backend that cannot show the help says so (the desktop's, for a missing file).
    std::function<void(const std::string&)> report;
};

// "F1 Ayuda" shows the contents of QUELVA.chm, whatever help file was set before; F1 the
// topic of the context it is given; both on the file in the executable's folder and owned by
// the window.
TEST(FormController, HelpRequests) {
    Window window;
    auto backend = std::make_shared<RecordingBackend>();
    help::HelpSystem helpSystem(window.executableFolder());
    help::installHelpRouting(helpSystem, backend);
    helpSystem.setApplicationHelpFile("OTRA.chm");
    window.settings.help = &helpSystem;
    FormController& form = window.open();
    const std::string file = (window.executableFolder() / kHelpFile).string();

    form.Button1Click();
    form.F1Help(kHelpContext);
    ASSERT_EQ(backend->calls.size(), 2u);
    EXPECT_EQ(backend->calls[0].command, help::HtmlHelpCommand::DisplayToc);
    EXPECT_EQ(backend->calls[1].command, help::HtmlHelpCommand::HelpContext);
    EXPECT_EQ(backend->calls[1].number, 3u);
    for (const auto& call : backend->calls) {
        EXPECT_EQ(call.file, file);
        EXPECT_EQ(call.window, kWindowHandle);
    }
    EXPECT_EQ(window.view.log, Log{});  // no run, no message
}

// What the help backend cannot show reaches the error box like any other error, with the
// full stop after the file's name.
TEST(FormController, HelpProblemsGoToTheErrorBox) {
    Window window;
    auto backend = std::make_shared<RecordingBackend>();
    help::HelpSystem helpSystem(window.executableFolder());
    help::installHelpRouting(helpSystem, backend);
    helpSystem.setApplicationHelpFile(kHelpFile);
    window.settings.help = &helpSystem;
    FormController& form = window.open();
    backend->report = [&form](const std::string& problem) { form.reportProblem(problem); };
    const std::string file = (window.executableFolder() / kHelpFile).string();

    form.Button1Click();
    form.F1Help(kHelpContext);
    EXPECT_EQ(window.view.log, (Log{"error: No existe el archivo de ayuda " + file + ".",
                                    "error: No existe el archivo de ayuda " + file + "."}));
    EXPECT_FALSE(form.isClosed());
}

}  // namespace
}  // namespace thq::app
