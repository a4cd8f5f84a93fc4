// The main window's run modes, runs, messages, busy cursor and status file, driven through
// its handlers with the user's part played by recording stand-ins.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "data/error.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "form_fixture.hpp"

namespace thq::app::test {

std::filesystem::path sampleDocument(const thq::test::TempDir& dir) {
    const auto target = dir / "horario.xml";
    std::filesystem::copy_file(thq::test::sourceDir() / "samples" / "ies-sierra-de-la-vega.xml",
                               target, std::filesystem::copy_options::overwrite_existing);
    return target;
}

std::filesystem::path failingDocument(const thq::test::TempDir& dir) {
    const auto target = dir / "malo.xml";
    thq::test::writeFile(
        target,
        "<SERVICIO><SALIDAS><listasal seq='MATERIAS'><listasal><salida>M</salida>"
        "<salida>n</salida><salida>C</salida><salida>K</salida><salida>90.5</salida>"
        "</listasal></listasal><listasal seq='CURSOS'><listasal><salida>K</salida>"
        "<salida/></listasal></listasal><listasal seq='GRUPOS'><listasal><salida>G</salida>"
        "<salida>1A</salida><salida>K</salida></listasal></listasal></SALIDAS></SERVICIO>");
    return target;
}

namespace {

constexpr const char* kConversion = "no es un valor entero válido.";

// The command lines of both modes. Every run here finds no document (the chooser is
// cancelled in a fresh window), which shows whether a run started and how it ended.
TEST(MainForm, RunModesFromTheCommandLine) {
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
        {{"exportar", "0x1A2B"}, 0, std::nullopt, true, "'$0x1A2B' ", std::nullopt},
        {{"exportar", "$1A2B"}, 0, std::nullopt, true, "'$$1A2B' ", std::nullopt},
        {{"exportar", "-1A2B"}, 0, std::nullopt, true, "'$-1A2B' ", std::nullopt},
        {{"exportar", " 1A2B"}, 0, std::nullopt, true, "'$ 1A2B' ", std::nullopt},
        {{"exportar", "123456789"}, 0, std::nullopt, true, "'$123456789' ", std::nullopt},
        {{"importar", ""}, 0, std::nullopt, true, "'$' ", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string label =
            c.parameters.empty() ? "(none)"
                                 : c.parameters[0] + " " +
                                       (c.parameters.size() > 1 ? c.parameters[1] : std::string());
        SCOPED_TRACE(label);
        FormFixture fixture(c.parameters);
        TMForm& form = fixture.showForm();

        EXPECT_EQ(form.LaunchParamCount(), c.launchParamCount);
        EXPECT_EQ(fixture.embedder.handles,
                  c.host ? std::vector<std::uint32_t>{*c.host} : std::vector<std::uint32_t>{});
        EXPECT_EQ(form.windowFlags().testFlag(Qt::FramelessWindowHint), c.host.has_value());
        EXPECT_EQ(fixture.chooser.shown, c.runs ? 1 : 0);

        std::vector<std::string> expected;
        if (!c.error.empty()) expected.push_back("error: " + c.error + kConversion);
        if (c.runs) expected.push_back("No existe archivo");
        EXPECT_EQ(fixture.messages.texts(), expected);

        // Hosted runs close the window at their end; anything else stays open until closed.
        const bool closedByRun = c.runs && c.launchParamCount == 2;
        EXPECT_EQ(form.isClosed(), closedByRun);
        EXPECT_EQ(form.isVisible(), !closedByRun);
        if (!closedByRun) {
            EXPECT_EQ(fixture.status(), std::nullopt);
            form.close();
        }
        EXPECT_EQ(form.TransformStatus(), c.statusAfterRun.value_or(0));
        if (c.statusAfterRun)
            EXPECT_EQ(fixture.status(), FormFixture::statusText(*c.statusAfterRun));
        else
            EXPECT_EQ(fixture.status(), std::nullopt);
    }
}

TEST(MainForm, HostedExportCompletesAndLeavesStatusOne) {
    FormFixture fixture({"exportar", "1A2B"});
    fixture.chooser.answers.push_back(sampleDocument(fixture.dir));
    std::vector<std::string> steps;
    std::size_t busySteps = 0;
    fixture.services.exportHooks.beforeStep = [&](std::string_view step) {
        steps.emplace_back(step);
        if (QApplication::overrideCursor() != nullptr &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor)
            ++busySteps;
    };
    TMForm& form = fixture.showForm();

    EXPECT_FALSE(fixture.chooser.busyWhileShown);
    EXPECT_FALSE(steps.empty());
    EXPECT_EQ(busySteps, steps.size());  // the busy cursor is up while the steps work
    ASSERT_EQ(fixture.messages.shown.size(), 1u);
    EXPECT_EQ(fixture.messages.shown[0].text, "Proceso finalizado");
    EXPECT_FALSE(fixture.messages.shown[0].busy);  // restored before the message
    EXPECT_TRUE(form.isClosed());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.TransformStatus(), 1);
    EXPECT_EQ(fixture.status(), FormFixture::statusText(1));
    for (const char* table :
         {"ASIGNOMT", "ASIGNOMT2", "PROFT", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST"})
        EXPECT_TRUE(std::filesystem::exists(fixture.work() / (std::string(table) + ".DBF")))
            << table;
}

TEST(MainForm, HostedImportCompletesAndWritesTheResultDocument) {
    FormFixture fixture({"IMPORTAR", "0"});
    const auto document = sampleDocument(fixture.dir);
    exporter::runExport(document, fixture.work());
    demo::writeDemoSolution(fixture.work());
    fixture.chooser.answers.push_back(document);
    TMForm& form = fixture.showForm();

    EXPECT_EQ(fixture.messages.texts(), std::vector<std::string>{"Proceso finalizado"});
    EXPECT_TRUE(std::filesystem::exists(fixture.dir / "ResultadoHoralishorario.xml"));
    EXPECT_TRUE(form.isClosed());
    EXPECT_EQ(fixture.status(), FormFixture::statusText(1));
}

// A run that fails: the error box (message with its full stop, and the detail), the
// window stays open in hosted mode too, the status keeps its value, the cursor is back.
TEST(MainForm, FailingRunsShowTheErrorAndKeepTheWindowOpen) {
    const struct {
        std::vector<std::string> parameters;
        bool exportRun;
        std::string error;
    } cases[] = {
        {{"exportar", "1A2B"}, true, "'90.5' no es un valor entero válido."},
        {{}, true, "'90.5' no es un valor entero válido."},
        {{"importar", "1A2B"}, false, ""},  // no work tables to read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters.empty() ? "stand-alone" : c.parameters[0]);
        FormFixture fixture(c.parameters);
        fixture.chooser.answers.push_back(failingDocument(fixture.dir));
        TMForm& form = fixture.showForm();
        if (c.parameters.empty()) {
            form.findChild<QPushButton*>(c.exportRun ? "BExportar" : "BImportar")->click();
        }
        ASSERT_EQ(fixture.messages.shown.size(), 1u);
        const Shown& box = fixture.messages.shown[0];
        EXPECT_TRUE(box.error);
        if (!c.error.empty()) {
            EXPECT_EQ(box.text, c.error);
        }
        EXPECT_FALSE(box.busy);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(form.isClosed());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.TransformStatus(), 0);
        EXPECT_EQ(fixture.status(), std::nullopt);
        // BClose: hosted mode writes the status as it stands.
        form.findChild<QPushButton*>("BClose")->click();
        EXPECT_TRUE(form.isClosed());
        EXPECT_EQ(fixture.status(),
                  c.parameters.empty() ? std::nullopt : std::optional(FormFixture::statusText(0)));
    }
}

TEST(MainForm, ErrorDetailGoesToTheErrorBox) {
    FormFixture fixture;
    fixture.chooser.answers.push_back(sampleDocument(fixture.dir));
    fixture.services.exportHooks.beforeStep = [](std::string_view step) {
        if (step == "BuildTeacherTable")
            throw thq::Error("Fallo de prueba", "en el paso de profesores");
    };
    TMForm& form = fixture.showForm();
    form.BExportarClick();
    ASSERT_EQ(fixture.messages.shown.size(), 1u);
    EXPECT_EQ(fixture.messages.shown[0].text, "Fallo de prueba.");
    EXPECT_EQ(fixture.messages.shown[0].detail, "en el paso de profesores");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Stand-alone: runs from the buttons, as often as wanted; the document carries over when the
// chooser is cancelled; a missing document leaves the status alone; closing writes nothing.
TEST(MainForm, StandAloneRunsCarryTheDocumentOver) {
    FormFixture fixture;
    const auto document = sampleDocument(fixture.dir);
    fixture.chooser.answers = {std::nullopt, document, std::nullopt, fixture.dir / "no.xml"};
    TMForm& form = fixture.showForm();
    QPushButton* exportButton = form.findChild<QPushButton*>("BExportar");

    exportButton->click();  // cancelled, nothing chosen before
    EXPECT_EQ(form.CurrentDocumentPath(), std::filesystem::path());
    exportButton->click();  // the document
    EXPECT_EQ(form.CurrentDocumentPath(), document);
    std::filesystem::remove(fixture.work() / "PROFT.DBF");
    exportButton->click();  // cancelled: the same document again
    EXPECT_EQ(form.CurrentDocumentPath(), document);
    EXPECT_TRUE(std::filesystem::exists(fixture.work() / "PROFT.DBF"));
    exportButton->click();  // a typed name that does not exist
    EXPECT_EQ(form.CurrentDocumentPath(), fixture.dir / "no.xml");

    EXPECT_EQ(fixture.messages.texts(),
              (std::vector<std::string>{"No existe archivo", "Proceso finalizado",
                                        "Proceso finalizado", "No existe archivo"}));
    EXPECT_EQ(form.TransformStatus(), 1);
    EXPECT_FALSE(form.isClosed());
    form.close();
    EXPECT_EQ(fixture.status(), std::nullopt);
}

TEST(MainForm, HostedModeClosesAfterALaterButtonRun) {
    // The requested run fails and the window stays; a later completed run closes it.
    FormFixture fixture({"exportar", "1A2B"});
    fixture.chooser.answers = {failingDocument(fixture.dir), sampleDocument(fixture.dir)};
    TMForm& form = fixture.showForm();
    EXPECT_FALSE(form.isClosed());
    form.findChild<QPushButton*>("BExportar")->click();
    EXPECT_TRUE(form.isClosed());
    EXPECT_EQ(fixture.status(), FormFixture::statusText(1));
}

// R7: a status file that cannot be written is reported, and the window closes all the same.
TEST(MainForm, UnwritableStatusFileIsReportedAndTheWindowCloses) {
    FormFixture fixture({"exportr", "1A2B"});
    std::filesystem::create_directory(fixture.statusFile());  // a folder in its place
    TMForm& form = fixture.showForm();
    form.close();
    EXPECT_TRUE(form.isClosed());
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(fixture.messages.shown.size(), 1u);
    EXPECT_TRUE(fixture.messages.shown[0].error);
    EXPECT_EQ(fixture.messages.shown[0].text,
              "Unable to write to " + fixture.statusFile().string() + ".");
}

TEST(MainForm, PlatformThatCannotEmbedSaysWhyAndStaysHosted) {
    FormFixture fixture({"exportr", "1A2B"});
    fixture.embedder.result = {false, "No se puede incrustar."};
    TMForm& form = fixture.showForm();
    EXPECT_FALSE(form.isEmbedded());
    EXPECT_EQ(form.LaunchParamCount(), 2);
    EXPECT_EQ(fixture.messages.texts(), std::vector<std::string>{"error: No se puede incrustar."});
    form.close();
    EXPECT_EQ(fixture.status(), FormFixture::statusText(0));
}

}  // namespace
}  // namespace thq::app::test
