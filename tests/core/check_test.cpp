// `check` and the import report: every problem named with its place, nothing written.
#include <gtest/gtest.h>

#include "data/error.hpp"
#include "data/findings.hpp"
#include "export/export_run.hpp"
#include "export_fixture.hpp"

namespace thq::test {
namespace {

std::vector<std::string> checkLines(const std::string& xml) {
    TempDir dir;
    writeFile(dir / "doc.xml", xml);
    Findings findings;
    exporter::checkDocument(dir / "doc.xml", findings);
    std::vector<std::string> lines;
    for (const auto& finding : findings.list()) lines.push_back(formatLine(finding));
    return lines;
}

Row interval(const char* code, const char* start, const char* end, const char* order) {
    return {dato("CODIGO_QUELVA", code), dato("NOMBRE", code), dato("INICIO", start),
            dato("FIN", end), dato("ORDEN", order)};
}

TEST(Check, OneDocumentPerFinding) {
    struct Case {
        const char* what;
        std::vector<SectionRows> sections;
        std::vector<std::string> lines;
    };
    const std::string longName(45, 'n');
    const std::vector<Case> cases = {
        {"a clean document", {{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}, {}},
        {"a row with one value",
         {{"AULAS", {{"A1"}}}},
         {"AVISO AULAS fila 1: la fila tiene menos de dos valores y no se lee"}},
        {"a teacher code that falls back",
         {{"PROFESORES",
           {{"1", "a", "A", "GARCIA"}, {"2", "b", "B", "OTRO"}, {"3", "c", "C", "GARCES"}}}},
         {"AVISO PROFESORES fila 3: código GARCES guardado como GAR1, GARC ya es de fila 1"}},
        {"a task whose code a subject holds",
         {{"MATERIAS", {{"M1", "Mat", "MATES", "C1", "60"}}},
          {"TAREAS", {{"156", "Mates", "MATEX"}}}},
         {"AVISO MATERIAS fila 1: el curso 'C1' no tiene grupos: la materia no se asigna a ninguno",
          "AVISO TAREAS fila 1: código MATEX guardado como MAT1, MATE ya es de MATERIAS fila 1"}},
        {"a text cut to its field",
         {{"PROFESORES", {{"1", "a", longName, "UNO"}}}},
         {"AVISO PROFESORES fila 1: NOMBRE de PROFT guarda 40 caracteres: '" + longName +
          "' queda '" + std::string(40, 'n') + "'"}},
        {"a character Windows-1252 lacks",
         {{"PROFESORES", {{"1", "a", "Łukasz", "LUK"}}}},
         {"AVISO PROFESORES fila 1: valor 2: 'Łukasz' tiene caracteres que Windows-1252 no tiene y "
          "se guarda "
          "como '?ukasz'"}},
        {"a group of no course",
         {{"GRUPOS", {{"G1", "1A", "C9"}}}},
         {"AVISO GRUPOS fila 1: el curso 'C9' no está en CURSOS: el grupo queda sin NIVEL ni "
          "CURSO"}},
        {"a subject whose course has no group",
         {{"MATERIAS", {{"M1", "Mat", "MATES", "C1", "60"}}}},
         {"AVISO MATERIAS fila 1: el curso 'C1' no tiene grupos: la materia no se asigna a "
          "ninguno"}},
        {"the long-code gate, in any letter case",
         {{"MATERIAS", {{"M1", "Mat", "MATES", "", ""}, {"M2", "Mat", "mates", "", ""}}}},
         {"AVISO MATERIAS fila 1: el curso '' no tiene grupos: la materia no se asigna a ninguno",
          "AVISO MATERIAS fila 2: el código largo mates ya es de fila 1: la fila no entra en "
          "ASIGNOMT",
          "AVISO MATERIAS fila 2: el curso '' no tiene grupos: la materia no se asigna a ninguno"}},
        {"order numbers no pass matches",
         {{"INTERVALOS",
           {interval("T1", "8:00", "9:00", "01"), interval("T2", "8:00", "9:00", "41")}}},
         {"AVISO INTERVALOS fila 1: el orden '01' no es un número de 1 a 40 escrito sin ceros ni "
          "decimales: el "
          "intervalo no se escribe",
          "AVISO INTERVALOS fila 2: el orden '41' no es un número de 1 a 40 escrito sin ceros ni "
          "decimales: el "
          "intervalo no se escribe"}},
        {"two intervals sharing an order number",
         {{"INTERVALOS",
           {interval("T1", "8:00", "9:00", "1"), interval("T2", "9:00", "10:00", "1")}}},
         {"AVISO INTERVALOS fila 2: el orden 1 también es el de la fila 1: los dos intervalos "
          "ocupan tramos "
          "seguidos"}},
        {"a value without dato",
         {{"INTERVALOS",
           {{dato("ORDEN", "1"), dato("INICIO", "8:00"), dato("FIN", "9:00"), "suelto"}}}},
         {"AVISO INTERVALOS fila 1: el valor 3 no tiene atributo dato y no se lee"}},
        {"minutes that are not a whole number",
         {{"CURSOS", {{"C1", "", "", "ESO", "1"}}},
          {"GRUPOS", {{"G1", "1A", "C1"}}},
          {"MATERIAS", {{"M1", "Mat", "MATES", "C1", "90.5"}}}},
         {"ERROR MATERIAS fila 1: valor 4 (minutos): '90.5' no es un valor entero válido"}},
        {"a time with seconds",
         {{"INTERVALOS", {interval("T1", "08:00:00", "9:00", "1")}}},
         {"ERROR INTERVALOS fila 1: dato INICIO ('08:00:00'): '00:00' no es un valor entero "
          "válido"}},
    };
    for (const auto& c : cases) EXPECT_EQ(checkLines(schoolXml(c.sections)), c.lines) << c.what;
}

// Three errors and several warnings: check names them all; the export stops at the first,
// naming its place, and writes nothing; check leaves the work folder as it was.
TEST(Check, ReportsEverythingTheExportStopsAt) {
    const std::string xml = schoolXml({
        {"CURSOS", {{"C1", "", "", "ESO", "1"}}},
        {"GRUPOS", {{"G1", "1A", "C1"}, {"G2", "1B", "C1"}, {"G3", "2A", "C2"}}},
        {"MATERIAS",
         {{"M1", "Mat", "MATES", "C1", "60"},
          {"M2", "Mat", "MATEX", "C1", "90.5"},
          {"M3", "Mat", "MATEY", "C1", "1h"},
          {"M4"}}},
        {"INTERVALOS", {interval("T1", "8:00", "9:x", "1")}},
    });
    const auto lines = checkLines(xml);
    std::size_t errors = 0;
    for (const auto& line : lines) errors += line.rfind("ERROR ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(errors, 3u);
    EXPECT_GE(lines.size() - errors, 4u);

    ExportFixture f;
    f.exportXml(schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    const auto before = snapshotFolder(f.work());
    writeFile(f.document(), xml);
    try {
        exporter::runExport(f.document(), f.work());
        ADD_FAILURE() << "the export went through";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), ErrorKind::Conversion);
        EXPECT_EQ(std::string(error.what()), "'90.5' no es un valor entero válido");
        EXPECT_EQ(error.detail(), "MATERIAS, fila 2, valor 4 (minutos): '90.5'");
    }
    EXPECT_EQ(snapshotFolder(f.work()), before);

    Findings findings;
    exporter::checkDocument(f.document(), findings);
    EXPECT_EQ(snapshotFolder(f.work()), before);
    EXPECT_EQ(summaryLine(findings),
              "3 errores, " + std::to_string(lines.size() - errors) + " avisos");
}

TEST(Check, ADocumentThatDoesNotLoadIsOneError) {
    const auto lines = checkLines("<SERVICIO><SALIDAS>");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ERROR documento: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("línea"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace thq::test
