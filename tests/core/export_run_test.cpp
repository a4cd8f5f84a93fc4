// The export run as a whole: reading rules, all-or-nothing replacement, refusals.
#include "export/export_run.hpp"

#include <gtest/gtest.h>

#include <set>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "export_fixture.hpp"

namespace thq::test {
namespace {

using data::WorkTable;
using Column = std::vector<std::string>;

TEST(ExportRun, ReadingRules) {
    ExportFixture f;
    f.exportXml(
        "<?xml version='1.0'?>\n"
        "<SERVICIO><OTRO><listasal seq='PROFESORES'><listasal><salida>X</salida><salida>X</salida>"
        "<salida>X</salida><salida>NO</salida></listasal></listasal></OTRO>\n"
        "<SALIDAS>\n"
        " <listasal seq='PROFESORES'>\n"
        "  <listasal><salida> "
        "\t1001\r\n</salida><salida>a</salida><salida>Uno</salida><salida>UNO</salida></listasal>\n"
        "  "
        "<listasal><salida>1002<salida>anidado</salida></salida><salida>b</salida><texto>no</texto>"
        "<salida>Dos</salida><salida>DOS</salida></listasal>\n"
        " </listasal>\n"
        " <listasal "
        "seq='Profesores'><listasal><salida>X</salida><salida>X</salida><salida>X</salida>"
        "<salida>MAL</salida></listasal></listasal>\n"
        " <listasal seq='PROFESORES'><listasal><salida>1003</salida><salida>\u00a0c\u00a0</salida>"
        "<salida> </salida><salida>TRES</salida></listasal></listasal>\n"
        "</SALIDAS></SERVICIO>\n");
    EXPECT_EQ(f.column(WorkTable::Proft, "ABREV"), (Column{"UNO", "DOS", "TRES"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "X_EMPLEADO"), (Column{"1001", "1002anidad", "1003"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "F_TOMAPOS"), (Column{"a", "b", "\u00a0c\u00a0"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "NOMBRE"), (Column{"Uno", "Dos", ""}));
}

TEST(ExportRun, MissingDocumentTouchesNothing) {
    ExportFixture f;
    writeFile(f.work() / "PROFT.DBF", "old");
    const auto before = snapshotFolder(f.work());
    EXPECT_EQ(exporter::runExport(f.work() / "nada.xml", f.work()),
              exporter::ExportOutcome::MissingDocument);
    EXPECT_EQ(exporter::runExport(f.work(), f.work()), exporter::ExportOutcome::MissingDocument);
    EXPECT_EQ(snapshotFolder(f.work()), before);
}

TEST(ExportRun, RefusedDocumentsLeaveTheWorkFolderAsItWas) {
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"<SERVICIO><SALIDAS>", "no es válido"},
        {"<?xml version='1.0'?><OTRO><SALIDAS/></OTRO>", "<OTRO>"},
        {"", "school.xml"},
    };
    for (const auto& [xml, mentions] : documents) {
        ExportFixture f;
        f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
        const auto before = snapshotFolder(f.work());
        try {
            f.exportXml(xml);
            ADD_FAILURE() << "accepted: " << xml;
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(mentions), std::string::npos) << error.what();
        }
        EXPECT_EQ(snapshotFolder(f.work()), before) << xml;
    }
}

TEST(ExportRun, AFailingStepLeavesEveryTableAsItWas) {
    const std::string school = readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml");
    for (const char* failing :
         {"BuildSubjectCatalogue", "AppendTaskCatalogue", "BuildSubjectCourseTable",
          "BuildTeacherTable", "BuildRoomTable", "BuildCourseAndGroupTables",
          "BuildAssignmentTable", "BuildSlotTable", "ReplaceWorkTables"}) {
        ExportFixture f;
        f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
        writeFile(f.work() / "ASIGNOMT.MDX", "index");
        std::filesystem::remove(f.work() / "DIASHORAST.DBF");  // absent before: must stay absent
        const auto before = snapshotFolder(f.work());
        writeFile(f.document(), school);
        exporter::ExportOptions hooks;
        hooks.beforeStep = [&](std::string_view step) {
            if (step == failing)
                throw Error(ErrorKind::InputOutput, "fallo provocado en " + std::string(step));
        };
        EXPECT_THROW(exporter::runExport(f.document(), f.work(), hooks), Error) << failing;
        EXPECT_EQ(snapshotFolder(f.work()), before) << failing;
    }
}

TEST(ExportRun, SuccessReplacesAllTablesAndRemovesTheirIndexes) {
    ExportFixture f;
    f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}, {"2", "b", "Dos", "DOS"}}}}));
    for (auto table : data::exportTables()) writeFile(data::indexFile(f.work(), table), "index");
    writeFile(f.work() / "SOLUC.MDX", "keep");
    writeFile(f.work() / "OTRA.DBF", "keep");
    f.exportXml(schoolXml({{"PROFESORES", {{"3", "c", "Tres", "TRES"}}}}));
    EXPECT_EQ(f.column(WorkTable::Proft, "ABREV"), (Column{"TRES"}));
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(f.work()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"ASIGNOMT.DBF", "ASIGNOMT2.DBF", "PROFT.DBF",
                                            "AULAT.DBF", "CURSOST.DBF", "GRUPOST.DBF", "ASIGT.DBF",
                                            "DIASHORAST.DBF", "SOLUC.MDX", "OTRA.DBF"}));
}

TEST(ExportRun, ATableHeldByAnotherProgramStopsTheExport) {
    ExportFixture f;
    f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    const auto before = snapshotFolder(f.work());
    data::DbfTable held(f.work() / "GRUPOST.DBF");
    held.open(data::OpenMode::Exclusive);
    try {
        f.exportXml(schoolXml({{"PROFESORES", {{"3", "c", "Tres", "TRES"}}}}));
        ADD_FAILURE() << "export went on while GRUPOST was held";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("GRUPOST.DBF"), std::string::npos) << error.what();
    }
    held.close();
    EXPECT_EQ(snapshotFolder(f.work()), before);
}

TEST(ExportRun, AMissingWorkFolderIsNamed) {
    ExportFixture f;
    writeFile(f.document(), schoolXml({}));
    try {
        exporter::runExport(f.document(), f.work() / "no-existe");
        ADD_FAILURE();
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("no-existe"), std::string::npos);
    }
}

TEST(ExportRun, TheSameDocumentTwiceGivesTheSameTables) {
    ExportFixture f;
    const std::string school = readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml");
    f.exportXml(school);
    std::vector<std::vector<Record>> first;
    for (auto table : data::exportTables()) first.push_back(f.table(table));
    f.exportXml(school);
    std::size_t i = 0;
    for (auto table : data::exportTables()) EXPECT_EQ(f.table(table), first[i++]);
}

}  // namespace
}  // namespace thq::test
