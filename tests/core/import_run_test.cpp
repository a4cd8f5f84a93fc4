// The import run: SOLUC and the work tables in, the result document out.
#include "import/import_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/import_fixture.hpp"
#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/xml_document.hpp"
#include "export/export_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;
using data::XmlDocument;
using importer::ImportOutcome;
using importer::ImportResult;
using importer::runImport;

constexpr const char* kMinimalDocument = "<SERVICIO><SALIDAS/></SERVICIO>";

// A document folder and a work folder side by side.
class ImportRunTest : public ::testing::Test {
protected:
    fs::path work() const { return dir_ / "htemp"; }
    fs::path docs() const { return dir_ / "quelva"; }
    fs::path document() const { return docs() / "horario.xml"; }
    fs::path result() const { return docs() / "ResultadoHoralishorario.xml"; }

    void SetUp() override {
        fs::create_directories(work());
        fs::create_directories(docs());
    }

    ImportResult run(const WorkTables& tables, const std::string& documentText) {
        writeWorkTables(work(), tables);
        writeFile(document(), documentText);
        return runImport(document(), work());
    }

    XmlDocument loadResult() const { return XmlDocument::load(result()); }

    TempDir dir_;
};

std::vector<std::string> selectTexts(const XmlDocument& doc, const std::string& xpath) {
    std::vector<std::string> texts;
    for (const auto& node : doc.selectNodes(xpath)) texts.push_back(node.text());
    return texts;
}

std::vector<std::string> selectAttributes(const XmlDocument& doc, const std::string& xpath,
                                          const std::string& attribute) {
    std::vector<std::string> values;
    for (const auto& node : doc.selectNodes(xpath)) {
        values.push_back(node.attribute(attribute).value_or("<none>"));
    }
    return values;
}

std::vector<Row> teachers(int count) {
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i) {
        const auto n = std::to_string(i);
        rows.push_back({{"ABREV", "P" + n}, {"X_EMPLEADO", "E" + n}, {"F_TOMAPOS", "F" + n}});
    }
    return rows;
}

// ---------------------------------------------------------------------------------------
// The result document's structure.

TEST_F(ImportRunTest, ReplacesTheFirstSalidasAndKeepsEverythingElse) {
    const std::string input =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- before the root -->\n"
        "<SERVICIO version=\"2.1\" modo=\"horario\">\n"
        "  <PARAMETROS><CENTRO codigo=\"99\">IES Uno</CENTRO></PARAMETROS>\n"
        "  <!-- inside the root -->\n"
        "  <SALIDAS origen=\"quelva\"><listasal seq=\"PROFESORES\"><listasal>"
        "<salida>old</salida></listasal></listasal></SALIDAS>\n"
        "  <?marca valor?>\n"
        "  <OTRO>texto</OTRO>\n"
        "  <SALIDAS><listasal seq=\"SEGUNDA\"/></SALIDAS>\n"
        "  <COLA/>\n"
        "</SERVICIO>\n";
    const auto outcome = run({.proft = teachers(1)}, input);
    ASSERT_EQ(outcome.outcome, ImportOutcome::Completed);
    EXPECT_EQ(outcome.resultPath, result());
    const auto doc = loadResult();

    EXPECT_EQ(rootChildren(doc), (std::vector<std::string>{"PARAMETROS", "#comment", "#pi", "OTRO",
                                                           "SALIDAS", "COLA", "SALIDAS"}));
    EXPECT_EQ(doc.documentElement().attribute("version"), "2.1");
    EXPECT_EQ(doc.documentElement().attribute("modo"), "horario");
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/PARAMETROS/CENTRO[@codigo='99']"),
              std::vector<std::string>{"IES Uno"});
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/OTRO"), std::vector<std::string>{"texto"});
    const std::string raw = readFile(result());
    EXPECT_NE(raw.find("<!-- before the root -->"), std::string::npos);
    EXPECT_NE(raw.find("<!-- inside the root -->"), std::string::npos);
    EXPECT_EQ(raw.find("old"), std::string::npos) << "the first SALIDAS is gone";

    // The second SALIDAS stays as it was; the new one comes last, without attributes.
    const auto salidas = doc.documentElement().childElements("SALIDAS");
    ASSERT_EQ(salidas.size(), 2u);
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS[1]/listasal", "seq"),
              std::vector<std::string>{"SEGUNDA"});
    EXPECT_EQ(salidas[1].raw()->properties, nullptr) << "the new SALIDAS has no attributes";
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS[2]/*", "seq"),
              (std::vector<std::string>{"<none>", "EMP_1"}));
    EXPECT_EQ(readFile(document()), input) << "the chosen document is left unchanged";
}

TEST_F(ImportRunTest, NewSalidasComesLastWhereverTheOldOneStood) {
    ASSERT_EQ(run({}, "<R><SALIDAS/><A/><B/></R>").outcome, ImportOutcome::Completed);
    const auto doc = loadResult();
    EXPECT_EQ(rootChildren(doc), (std::vector<std::string>{"A", "B", "SALIDAS"}));
    EXPECT_EQ(doc.documentElement().name(), "R") << "any root element name will do";
}

TEST_F(ImportRunTest, StatusBlockAndTeacherBlocksInTableOrder) {
    auto proft = teachers(12);
    proft[3]["X_EMPLEADO"] = "";  // empty values give empty data items
    proft[3]["F_TOMAPOS"] = "";
    const auto outcome = run({.proft = proft}, kMinimalDocument);
    EXPECT_EQ(outcome.teachers, 12u);
    const auto doc = loadResult();

    const auto status = doc.selectNodes("/SERVICIO/SALIDAS/ERROR");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS/ERROR/*", "dato"),
              (std::vector<std::string>{"CN_ERROR", "TE_ERROR", "REGISTROS RECUPERADOS"}));
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/SALIDAS/ERROR/salida"),
              (std::vector<std::string>{"0", "Servicio finalizado Correctamente", "12"}));
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS/*[1]", "seq"),
              std::vector<std::string>{"<none>"})
        << "the status block comes first";

    std::vector<std::string> expectedSeq;
    std::vector<std::string> expectedBlocks;
    for (int i = 1; i <= 12; ++i) {
        expectedSeq.push_back("EMP_" + std::to_string(i));
        const auto n = std::to_string(i);
        expectedBlocks.push_back(i == 4 ? "/:" : "E" + n + "/F" + n + ":");
    }
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS/listasal", "seq"), expectedSeq);
    EXPECT_EQ(renderTeacherBlocks(doc), expectedBlocks);
    // Data items carry exactly one attribute; an empty value gives no text node at all.
    for (const auto& item : doc.selectNodes("/SERVICIO/SALIDAS//salida")) {
        ASSERT_EQ(item.raw()->properties->next, nullptr);
    }
    EXPECT_EQ(doc.selectNodes("/SERVICIO/SALIDAS/listasal[4]/salida[1]")[0].raw()->children,
              nullptr);
}

TEST_F(ImportRunTest, EmptyTeacherTableGivesOnlyTheStatusBlock) {
    const auto outcome =
        run({.soluc = {lesson("P1", "MAT", "G1", "A1", "T", "1", "1")}}, kMinimalDocument);
    EXPECT_EQ(outcome.teachers, 0u);
    EXPECT_EQ(outcome.lessons, 0u);
    const auto doc = loadResult();
    EXPECT_EQ(selectAttributes(doc, "/SERVICIO/SALIDAS/*", "seq"),
              std::vector<std::string>{"<none>"});
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/SALIDAS/ERROR/salida[@dato='REGISTROS RECUPERADOS']"),
              std::vector<std::string>{"0"});
}

TEST_F(ImportRunTest, AddsNoWhitespaceBetweenTheNewElements) {
    // An indented input: the parser keeps its whitespace, the new elements get none.
    const std::string input =
        "<SERVICIO>\n  <SALIDAS>\n    <listasal seq=\"X\"/>\n  </SALIDAS>\n</SERVICIO>\n";
    run({.soluc = {lesson("P1", "MAT", "G1", "A1", "T", "1", "1")}, .proft = teachers(2)}, input);
    const auto doc = loadResult();
    const auto salidas = doc.selectNodes("/SERVICIO/SALIDAS");
    ASSERT_EQ(salidas.size(), 1u);
    EXPECT_FALSE(hasTextOutsideDataItems(salidas[0]));
    EXPECT_EQ(doc.selectNodes("/SERVICIO/SALIDAS/listasal[1]/listasal").size(), 1u);
}

TEST(ImportResultPath, PrefixesTheFileNameInTheDocumentsFolder) {
    struct Case {
        fs::path document;
        fs::path expected;
    };
    const Case cases[] = {
        {"/datos/horario.xml", "/datos/ResultadoHoralishorario.xml"},
        {"/datos/ResultadoHoralishorario.xml",
         "/datos/ResultadoHoralisResultadoHoralishorario.xml"},
        {"/a b/c.d/Horario Final.XML", "/a b/c.d/ResultadoHoralisHorario Final.XML"},
        {"/datos/sin_extension", "/datos/ResultadoHoralissin_extension"},
        {"horario.xml", "ResultadoHoralishorario.xml"},
        {fs::path(u8"/año/Horario Peña €.xml"),
         fs::path(u8"/año/ResultadoHoralisHorario Peña €.xml")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(importer::resultPathFor(c.document), c.expected) << c.document;
    }
}

TEST_F(ImportRunTest, AnEarlierResultChosenAsInputGetsThePrefixTwice) {
    run({.proft = teachers(1)}, kMinimalDocument);
    const std::string first = readFile(result());
    const auto again = runImport(result(), work());
    ASSERT_EQ(again.outcome, ImportOutcome::Completed);
    EXPECT_EQ(again.resultPath, docs() / "ResultadoHoralisResultadoHoralishorario.xml");
    EXPECT_EQ(readFile(result()), first);
    const auto doc = XmlDocument::load(again.resultPath);
    EXPECT_EQ(doc.selectNodes("/SERVICIO/SALIDAS").size(), 1u);
    EXPECT_EQ(renderTeacherBlocks(doc), std::vector<std::string>{"E1/F1:"});
}

TEST_F(ImportRunTest, ASecondRunReplacesTheResultAndFindsTheTablesFree) {
    run({.proft = teachers(1)}, kMinimalDocument);
    writeTable(work(), WorkTable::Proft, teachers(3));
    ASSERT_EQ(runImport(document(), work()).outcome, ImportOutcome::Completed);
    EXPECT_EQ(renderTeacherBlocks(loadResult()),
              (std::vector<std::string>{"E1/F1:", "E2/F2:", "E3/F3:"}));
    EXPECT_EQ(openEachExclusively(work()), "");
}

// ---------------------------------------------------------------------------------------
// Lesson entries: a small school, and per case its SOLUC and a few extra records appended
// behind the school's own.

WorkTables school() {
    WorkTables t;
    t.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "E1"}, {"F_TOMAPOS", "F1"}},
               {{"ABREV", "BEN"}, {"X_EMPLEADO", "E2"}, {"F_TOMAPOS", "F2"}}};
    t.grupost = {{{"ABREV", "G1"}, {"CLAVE", "U1"}, {"CLAVECURSO", "C1"}},
                 {{"ABREV", "G2"}, {"CLAVE", "U2"}, {"CLAVECURSO", "C2"}}};
    t.cursost = {{{"CLAVE", "C1"}}, {{"CLAVE", "C2"}}};
    t.aulat = {{{"ABREV", "A1"}, {"DEPCENTRO", "R1"}}, {{"ABREV", "A2"}, {"DEPCENTRO", "R2"}}};
    t.asignomt = {{{"COD", "MAT"}, {"CODTAREA", ""}, {"ESTAREA", "F"}},
                  {{"COD", "DOC"}, {"CODTAREA", "156"}, {"ESTAREA", "T"}}};
    t.asigt = {{{"CASIG", "MAT"}, {"CGRUP", "G1"}, {"CLAVE", "M1"}},
               {{"CASIG", "LEN"}, {"CGRUP", "G1"}, {"CLAVE", ""}}};
    t.asignomt2 = {
        {{"COD", "LEN"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", "S"}, {"MATERIA", "L1"}},
        {{"COD", "LEN"}, {"CLAVECURSO", "C2"}, {"ALECTIVA", "S"}, {"MATERIA", "L2"}},
        {{"COD", "TUT"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", ""}, {"MATERIA", "T1"}},
        {{"COD", "REU"}, {"CLAVECURSO", ""}, {"ALECTIVA", "N"}, {"MATERIA", "300"}},
    };
    t.diashorast = {{{"DIHO", "11"}, {"CODDIHO", "S1"}, {"DIA", "1"}, {"HORA", "1"}},
                    {{"DIHO", "12"}, {"CODDIHO", "S2"}, {"DIA", "1"}, {"HORA", "2"}},
                    {{"DIHO", "21"}, {"CODDIHO", "S1"}, {"DIA", "2"}, {"HORA", "1"}},
                    {{"DIHO", "112"}, {"CODDIHO", "S12"}, {"DIA", "1"}, {"HORA", "12"}}};
    return t;
}

void appendRows(std::vector<Row>& to, const std::vector<Row>& rows) {
    to.insert(to.end(), rows.begin(), rows.end());
}

WorkTables schoolWith(const WorkTables& extra) {
    WorkTables t = school();
    appendRows(t.soluc, extra.soluc);
    appendRows(t.grupost, extra.grupost);
    appendRows(t.proft, extra.proft);
    appendRows(t.aulat, extra.aulat);
    appendRows(t.asignomt, extra.asignomt);
    appendRows(t.asignomt2, extra.asignomt2);
    appendRows(t.diashorast, extra.diashorast);
    appendRows(t.asigt, extra.asigt);
    return t;
}

struct LessonCase {
    const char* name;
    WorkTables tables;  // SOLUC, and extra records behind the school's
    std::vector<std::string> expected;
};

// Entries render as seq(X_ACTIVIDAD|N_DIASEMANA|X_TRAMO|X_DEPCENTRO|X_MATERIAOMC|X_UNIDAD).
const std::vector<LessonCase>& lessonCases() {
    static const std::vector<LessonCase> cases = {
        {"TranslatesEveryShortCode",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1)", "E2/F2:"}},
        {"SkipsLessonsWithoutADayAndNumbersWithoutGaps",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "0", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "0", "2"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "", "2"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "0.5", "2"),
                    lesson("ANA", "MAT", "G1", "A2", "DOC", "2", "1"),
                    lesson("BEN", "MAT", "G1", "A1", "DOC", "0", "1")}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1) TRAMO_2(156|2|S1|R2|M1|U1)", "E2/F2:"}},
        {"NumberingRestartsPerTeacherInRecordOrder",
         {.soluc = {lesson("BEN", "MAT", "G1", "A1", "DOC", "2", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "2"),
                    lesson("BEN", "MAT", "G2", "A2", "DOC", "1", "1")}},
         {"E1/F1: TRAMO_1(156|1|S2|R1|M1|U1)",
          "E2/F2: TRAMO_1(156|2|S1|R1|M1|U1) TRAMO_2(156|1|S1|R2||U2)"}},
        {"ActivityFallsBackToTheTareaText",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "X9", "1", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "MAT", "1", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "doc", "1", "1")}},
         {"E1/F1: TRAMO_1(X9|1|S1|R1|M1|U1) TRAMO_2(|1|S1|R1|M1|U1) "
          "TRAMO_3(doc|1|S1|R1|M1|U1)",
          "E2/F2:"}},
        {"AssignmentKeyWinsOverSubjectsByCourse",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")},
          .asignomt2 =
              {{{"COD", "MAT"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", "S"}, {"MATERIA", "OTHER"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1)", "E2/F2:"}},
        {"BlankAssignmentKeyFallsBackToTheGroupsCourse",
         {.soluc = {lesson("ANA", "LEN", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "LEN", "G2", "A1", "DOC", "1", "1"),
                    lesson("ANA", "MAT", "G2", "A1", "DOC", "1", "1")}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|L1|U1) TRAMO_2(156|1|S1|R1|L2|U2) "
          "TRAMO_3(156|1|S1|R1||U2)",
          "E2/F2:"}},
        {"BlankMarkGivesAnEmptySubjectAndTheFirstRecordDecides",
         {.soluc = {lesson("ANA", "TUT", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "HIS", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "GEO", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "TUT", "G2", "A1", "DOC", "1", "1")},
          .asignomt2 =
              {{{"COD", "HIS"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", " "}, {"MATERIA", "H0"}},
               {{"COD", "HIS"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", "S"}, {"MATERIA", "H1"}},
               {{"COD", "GEO"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", "S"}, {"MATERIA", "O1"}},
               {{"COD", "GEO"}, {"CLAVECURSO", "C1"}, {"ALECTIVA", ""}, {"MATERIA", "O2"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1||U1) TRAMO_2(156|1|S1|R1||U1) "
          "TRAMO_3(156|1|S1|R1|O1|U1) TRAMO_4(156|1|S1|R1||U2)",
          "E2/F2:"}},
        {"UnknownGroupMatchesOnlySubjectsWithoutACourse",
         {.soluc = {lesson("ANA", "REU", "G9", "A1", "DOC", "1", "1"),
                    lesson("ANA", "LEN", "G9", "A1", "DOC", "1", "1"),
                    lesson("ANA", "REU", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "LEN", "G3", "A1", "DOC", "1", "1")},
          .grupost = {{{"ABREV", "G3"}, {"CLAVE", ""}, {"CLAVECURSO", "C2"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|300|) TRAMO_2(156|1|S1|R1||) TRAMO_3(156|1|S1|R1||U1) "
          "TRAMO_4(156|1|S1|R1|L2|)",
          "E2/F2:"}},
        {"CompositeKeysDoNotRunTogether",
         {.soluc = {lesson("ANA", "MAT", "G2", "A1", "DOC", "1", "1"),
                    lesson("ANA", "LEN", "G9", "A1", "DOC", "1", "1")},
          .asignomt2 = {{{"COD", "LE"}, {"CLAVECURSO", "N"}, {"ALECTIVA", "S"}, {"MATERIA", "W2"}}},
          .asigt = {{{"CASIG", "MA"}, {"CGRUP", "TG2"}, {"CLAVE", "W1"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1||U2) TRAMO_2(156|1|S1|R1||)", "E2/F2:"}},
        {"SlotKeyJoinsDayAndHourWithoutSeparator",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "12"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "11", "2")},
          .diashorast = {{{"DIHO", "112"}, {"CODDIHO", "SX"}, {"DIA", "11"}, {"HORA", "2"}}}},
         {"E1/F1: TRAMO_1(156|1|S12|R1|M1|U1) TRAMO_2(156|1|S12|R1|M1|U1)", "E2/F2:"}},
        {"SlotKeyUsesTheDaysTextAndTheRoundedHour",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "2.5", "1"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "2.5"),
                    lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1.5")},
          .diashorast = {{{"DIHO", "2.51"}, {"CODDIHO", "SF"}, {"DIA", "F"}}}},
         {"E1/F1: TRAMO_1(156|F|SF|R1|M1|U1) TRAMO_2(156|1|S2|R1|M1|U1) "
          "TRAMO_3(156|1|S2|R1|M1|U1)",
          "E2/F2:"}},
        {"UnresolvedValuesAreEmptyNotThePreviousLessons",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1"),
                    lesson("ANA", "ZZZ", "G9", "A9", "Q", "6", "9"),
                    lesson("ANA", "", "", "", "", "1", "2")}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1) TRAMO_2(Q|||||) TRAMO_3(|1|S2|||)", "E2/F2:"}},
        {"KeysAreCaseSensitive",
         {.soluc = {lesson("ANA", "mat", "g1", "a1", "doc", "1", "1"),
                    lesson("ana", "MAT", "G1", "A1", "DOC", "1", "1")}},
         {"E1/F1: TRAMO_1(doc|1|S1|||)", "E2/F2:"}},
        {"AbbreviationWithASingleQuote",
         {.soluc = {lesson("O'NE", "MAT", "G1", "A1", "DOC", "1", "1"),
                    lesson("ONE", "MAT", "G1", "A1", "DOC", "1", "2"),
                    lesson("O''N", "MAT", "G1", "A1", "DOC", "2", "1")},
          .proft = {{{"ABREV", "O'NE"}, {"X_EMPLEADO", "E3"}, {"F_TOMAPOS", "F3"}}}},
         {"E1/F1:", "E2/F2:", "E3/F3: TRAMO_1(156|1|S1|R1|M1|U1)"}},
        {"FirstRecordWinsForDuplicateKeys",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")},
          .grupost = {{{"ABREV", "G1"}, {"CLAVE", "DUP"}, {"CLAVECURSO", "C2"}}},
          .aulat = {{{"ABREV", "A1"}, {"DEPCENTRO", "DUP"}}},
          .asignomt = {{{"COD", "DOC"}, {"CODTAREA", "DUP"}}},
          .diashorast = {{{"DIHO", "11"}, {"CODDIHO", "DUP"}, {"DIA", "9"}}},
          .asigt = {{{"CASIG", "MAT"}, {"CGRUP", "G1"}, {"CLAVE", "DUP"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1)", "E2/F2:"}},
        {"TeachersSharingAnAbbreviationBothGetItsLessons",
         {.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")},
          .proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "E3"}, {"F_TOMAPOS", "F3"}}}},
         {"E1/F1: TRAMO_1(156|1|S1|R1|M1|U1)", "E2/F2:", "E3/F3: TRAMO_1(156|1|S1|R1|M1|U1)"}},
        {"LessonsOfUnknownTeachersAppearNowhere",
         {.soluc = {lesson("ZED", "MAT", "G1", "A1", "DOC", "1", "1"),
                    lesson("", "MAT", "G1", "A1", "DOC", "1", "1")}},
         {"E1/F1:", "E2/F2:"}},
    };
    return cases;
}

class ImportLessonEntriesTest : public ImportRunTest,
                                public ::testing::WithParamInterface<LessonCase> {};

TEST_P(ImportLessonEntriesTest, ResolvesTheLessonsOfEachTeacher) {
    const auto& param = GetParam();
    const auto outcome = run(schoolWith(param.tables), kMinimalDocument);
    ASSERT_EQ(outcome.outcome, ImportOutcome::Completed);
    const auto doc = loadResult();
    EXPECT_EQ(renderTeacherBlocks(doc), param.expected);
    EXPECT_EQ(outcome.lessons, doc.selectNodes("//listasal[starts-with(@seq,'TRAMO_')]").size());
}

INSTANTIATE_TEST_SUITE_P(Import, ImportLessonEntriesTest, ::testing::ValuesIn(lessonCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Failing runs: an error, no result file, an earlier one untouched, no table left held.

class ImportFailureTest : public ImportRunTest {
protected:
    void SetUp() override {
        ImportRunTest::SetUp();
        writeWorkTables(work(),
                        schoolWith({.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")}}));
        writeFile(document(), kMinimalDocument);
    }

    // Runs the import expecting thq::Error; returns its message. The two folders must be
    // byte-for-byte as they were.
    std::string failingRun() {
        const auto before = std::make_pair(snapshotFolder(docs()), snapshotFolder(work()));
        std::string message;
        try {
            runImport(document(), work());
            ADD_FAILURE() << "the run did not fail";
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_EQ(snapshotFolder(docs()), before.first);
        EXPECT_EQ(snapshotFolder(work()), before.second);
        EXPECT_EQ(openEachExclusively(work()), "") << "a table is still held";
        return message;
    }
};

TEST_F(ImportFailureTest, MissingDocumentTouchesNothing) {
    fs::remove(data::tableFile(work(), WorkTable::Soluc));  // not even opened
    for (const bool folderInItsPlace : {false, true}) {
        SCOPED_TRACE(folderInItsPlace ? "a folder of that name" : "no such file");
        fs::remove_all(document());
        if (folderInItsPlace) fs::create_directory(document());
        const auto before = snapshotFolder(dir_.path());
        const auto outcome = runImport(document(), work());
        EXPECT_EQ(outcome.outcome, ImportOutcome::MissingDocument);
        EXPECT_EQ(outcome.resultPath, fs::path());
        EXPECT_EQ(snapshotFolder(dir_.path()), before);
        EXPECT_FALSE(fs::exists(result()));
    }
}

TEST_F(ImportFailureTest, MissingTableNamesTheFile) {
    writeFile(result(), "earlier result");
    for (const auto table : {WorkTable::Soluc, WorkTable::Grupost, WorkTable::Cursost,
                             WorkTable::Proft, WorkTable::Aulat, WorkTable::Asignomt,
                             WorkTable::Asignomt2, WorkTable::Diashorast, WorkTable::Asigt}) {
        const auto file = data::tableFile(work(), table);
        const std::string saved = readFile(file);
        fs::remove(file);
        const std::string message = failingRun();
        EXPECT_NE(message.find(file.filename().string()), std::string::npos) << message;
        writeFile(file, saved);
    }
    EXPECT_EQ(readFile(result()), "earlier result");
}

TEST_F(ImportFailureTest, UnusableDocumentsEndTheRunWithoutResult) {
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"no SALIDAS", "<SERVICIO><PARAMETROS/></SERVICIO>"},
        {"SALIDAS only deeper down", "<SERVICIO><X><SALIDAS/></X></SERVICIO>"},
        {"salidas in lower case", "<SERVICIO><salidas/></SERVICIO>"},
        {"malformed", "<SERVICIO><SALIDAS></SERVICIO>"},
        {"empty file", ""},
        {"no document element", "<?xml version=\"1.0\"?>\n<!-- nada -->\n"},
        {"not XML", "ASIG;PROF\nMAT;ANA\n"},
    };
    writeFile(result(), "earlier result");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(document(), c.text);
        const std::string message = failingRun();
        EXPECT_NE(message.find("horario.xml"), std::string::npos) << message;
    }
    EXPECT_EQ(readFile(result()), "earlier result");
}

TEST_F(ImportFailureTest, ResultThatCannotBeWritten) {
    fs::create_directory(result());
    writeFile(result() / "keep.txt", "kept");
    const std::string message = failingRun();
    EXPECT_NE(message.find("ResultadoHoralishorario.xml"), std::string::npos) << message;
}

TEST_F(ImportFailureTest, SolutionWithoutAFieldTheImportReads) {
    data::DbfTable soluc(data::tableFile(work(), WorkTable::Soluc));
    auto fields = data::layoutOf(WorkTable::Soluc).fields;
    std::erase_if(fields, [](const data::FieldSpec& f) { return f.name == "AULA"; });
    soluc.defineFields(fields);
    soluc.create();
    soluc.open();
    soluc.append();
    soluc.setText("PROF", "ANA");
    soluc.setNumber("DIA", 1);
    soluc.post();
    soluc.close();
    const std::string message = failingRun();
    EXPECT_NE(message.find("SOLUC.DBF"), std::string::npos) << message;
    EXPECT_NE(message.find("AULA"), std::string::npos) << message;
}

TEST_F(ImportFailureTest, TableHeldByAnotherHolderNamesTheTable) {
    writeFile(result(), "earlier result");
    // A holder that may write: one that only reads does not stop the import (LockedTables).
    for (const auto table :
         {WorkTable::Soluc, WorkTable::Proft, WorkTable::Cursost, WorkTable::Asigt}) {
        const auto file = data::tableFile(work(), table);
        SCOPED_TRACE(file.filename().string());
        std::string message;
        {
            data::DbfTable holder(file);
            holder.open(data::OpenMode::Exclusive);
            try {
                runImport(document(), work());
                ADD_FAILURE() << "the run did not fail";
            } catch (const Error& e) {
                message = e.what();
            }
        }
        EXPECT_NE(message.find(file.filename().string()), std::string::npos) << message;
        EXPECT_EQ(openEachExclusively(work()), "");
    }
    EXPECT_EQ(readFile(result()), "earlier result");
}

TEST_F(ImportFailureTest, TableHeldByAnotherProcess) {
    const auto file = data::tableFile(work(), WorkTable::Proft);
    std::string message;
    {
        HeldByAnotherProcess holder(file, "table-exclusive");
        ASSERT_TRUE(holder.holds());
        try {
            runImport(document(), work());
        } catch (const Error& e) {
            message = e.what();
        }
    }

    EXPECT_NE(message.find("PROFT.DBF"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(result()));
    EXPECT_EQ(openEachExclusively(work()), "");
    EXPECT_EQ(runImport(document(), work()).outcome, ImportOutcome::Completed)
        << "the table is free again once the other process has let it go";
}

// ---------------------------------------------------------------------------------------
// Encodings: the result is written in the document's own encoding, table texts intact.

struct EncodingCase {
    const char* name;
    std::string declaration;   // as the document declares it ("" for none)
    std::string documentText;  // "Educación" in that encoding
    std::string pena;          // "Peña" as the result's bytes
    std::string euro;          // "€ 1" as the result's bytes
};

class ImportEncodingTest : public ImportRunTest,
                           public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(ImportEncodingTest, WritesTheDocumentsOwnEncoding) {
    const auto& param = GetParam();
    std::string input;
    if (!param.declaration.empty()) {
        input = "<?xml version=\"1.0\" encoding=\"" + param.declaration + "\"?>\n";
    }
    input += "<SERVICIO><CENTRO>" + param.documentText + "</CENTRO><SALIDAS/></SERVICIO>\n";
    // Table texts are Windows-1252: "Peña" and "€ 1".
    run({.proft = {{{"ABREV", "PEN"},
                    {"X_EMPLEADO",
                     "Pe\xF1"
                     "a"},
                    {"F_TOMAPOS", "\x80 1"}}}},
        input);

    const std::string raw = readFile(result());
    if (param.declaration.empty()) {
        EXPECT_TRUE(raw.rfind("<?xml version=\"1.0\"?>", 0) == 0 || raw.rfind("<SERVICIO", 0) == 0)
            << raw.substr(0, 60);
    } else {
        const std::string declared =
            "<?xml version=\"1.0\" encoding=\"" + param.declaration + "\"?>";
        EXPECT_EQ(raw.substr(0, declared.size()), declared);
    }
    EXPECT_NE(raw.find(">" + param.documentText + "<"), std::string::npos) << raw;
    EXPECT_NE(raw.find(">" + param.pena + "<"), std::string::npos) << raw;
    EXPECT_NE(raw.find(">" + param.euro + "<"), std::string::npos) << raw;

    const auto doc = loadResult();
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/CENTRO"), std::vector<std::string>{"Educación"});
    EXPECT_EQ(renderTeacherBlocks(doc), std::vector<std::string>{"Peña/€ 1:"});
}

INSTANTIATE_TEST_SUITE_P(
    Import, ImportEncodingTest,
    ::testing::Values(EncodingCase{"Latin1", "ISO-8859-1", "Educaci\xF3n",
                                   "Pe\xF1"
                                   "a",
                                   "&#8364; 1"},
                      EncodingCase{"Windows1252", "windows-1252", "Educaci\xF3n",
                                   "Pe\xF1"
                                   "a",
                                   "\x80 1"},
                      EncodingCase{"Utf8", "UTF-8", "Educación", "Peña", "€ 1"},
                      EncodingCase{"Undeclared", "", "Educación", "Peña", "€ 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// The result is the document's own bytes with the first SALIDAS cut out and the new one put
// before the root's end tag: line ends, quoting, character references, a byte order mark and
// the rest stay exactly as the document has them, in every encoding it may come in.
struct CopyCase {
    const char* name;
    std::string declared;  // the declaration's encoding
    int unit;              // 1, or 2 for UTF-16
    bool bigEndian;
    std::string bom;
};

// ASCII text in the code units of the case (the documents below are ASCII but for one text).
std::string encodeAscii(const CopyCase& c, const std::string& ascii) {
    if (c.unit == 1) return ascii;
    std::string out;
    for (const char ch : ascii) {
        out += c.bigEndian ? std::string{'\0', ch} : std::string{ch, '\0'};
    }
    return out;
}

class ImportCopyThroughTest : public ImportRunTest,
                              public ::testing::WithParamInterface<CopyCase> {};

TEST_P(ImportCopyThroughTest, KeepsTheDocumentsOwnBytesAroundTheNewSalidas) {
    const auto& c = GetParam();
    const std::string before =
        "<?xml version='1.0' encoding='" + c.declared + "'?>\r\n<!-- antes -->\r\n" +
        "<SERVICIO  modo='horario' >\r\n  <CENTRO codigo=\"9&#57;\"></CENTRO>\r\n  ";
    const std::string oldSalidas =
        "<SALIDAS><listasal seq='X'><salida>viejo</salida></listasal>"
        "</SALIDAS>";
    const std::string between = "\r\n  <OTRO a='&lt;&gt;'>&#233;<![CDATA[<x>]]></OTRO>\r\n";
    const std::string rootEnd = "</SERVICIO >\r\n<!-- despues -->\r\n";
    const std::string input = c.bom + encodeAscii(c, before + oldSalidas + between + rootEnd);
    run({.soluc = {lesson("PEN", "MAT", "G1", "A1", "T", "1", "2")},
         .proft = {{{"ABREV", "PEN"},
                    {"X_EMPLEADO",
                     "Pe\xF1"
                     "a <&>"},
                    {"F_TOMAPOS", "\x80 1"}}}},
        input);

    const std::string raw = readFile(result());
    const std::string head = c.bom + encodeAscii(c, before + between);
    const std::string tail = encodeAscii(c, rootEnd);
    ASSERT_GT(raw.size(), head.size() + tail.size());
    EXPECT_EQ(raw.substr(0, head.size()), head);
    EXPECT_EQ(raw.substr(raw.size() - tail.size()), tail);
    const std::string salidas = raw.substr(head.size(), raw.size() - head.size() - tail.size());
    EXPECT_EQ(salidas.substr(0, encodeAscii(c, "<SALIDAS><ERROR>").size()),
              encodeAscii(c, "<SALIDAS><ERROR>"));
    EXPECT_EQ(salidas.find(encodeAscii(c, "viejo")), std::string::npos);

    const auto doc = loadResult();
    EXPECT_EQ(rootChildren(doc), (std::vector<std::string>{"CENTRO", "OTRO", "SALIDAS"}));
    EXPECT_EQ(renderTeacherBlocks(doc), std::vector<std::string>{"Peña <&>/€ 1: TRAMO_1(T|||||)"});
}

INSTANTIATE_TEST_SUITE_P(Import, ImportCopyThroughTest,
                         ::testing::Values(CopyCase{"Utf8", "UTF-8", 1, false, ""},
                                           CopyCase{"Utf8Bom", "UTF-8", 1, false, "\xEF\xBB\xBF"},
                                           CopyCase{"Latin1", "ISO-8859-1", 1, false, ""},
                                           CopyCase{"Latin9", "ISO-8859-15", 1, false, ""},
                                           CopyCase{"Windows1252", "windows-1252", 1, false, ""},
                                           CopyCase{"Ascii", "US-ASCII", 1, false, ""},
                                           CopyCase{"Utf16Le", "UTF-16", 2, false, "\xFF\xFE"},
                                           CopyCase{"Utf16Be", "UTF-16", 2, true, "\xFE\xFF"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// The sample school: export, a SOLUC as another dBase writer leaves it, import.

// The first record of a table whose fields hold these values, every field as text.
Row findRecord(const fs::path& folder, WorkTable table, const Row& criteria) {
    data::DbfTable dbf(data::tableFile(folder, table));
    dbf.open();
    for (dbf.first(); !dbf.eof(); dbf.next()) {
        const bool match = std::all_of(criteria.begin(), criteria.end(), [&](const auto& c) {
            return dbf.text(c.first) == c.second;
        });
        if (!match) continue;
        Row row;
        for (const auto& field : dbf.fields()) row[field.name] = dbf.text(field.name);
        return row;
    }
    throw std::runtime_error("no such record in " + dbf.path().string());
}

// A SOLUC record for the Python writer; day and hour are numbers' text.
struct SolucRecord {
    std::string subject, teacher, group, room, activity, day, hour;
};

std::string toJson(const std::vector<SolucRecord>& records) {
    const auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    std::string json = "[";
    for (const auto& r : records) {
        json += (json.size() > 1 ? "," : "") + std::string("[") + quoted(r.subject) + "," +
                quoted(r.teacher) + "," + quoted(r.group) + "," + quoted(r.room) + "," +
                quoted(r.activity) + "," + r.day + "," + r.hour + "]";
    }
    return json + "]";
}

TEST(ImportRoundTrip, SampleSchoolThroughAnotherDbaseWriter) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path work = dir / "htemp";
    fs::create_directories(work);
    const fs::path document = dir / "sierra.xml";
    fs::copy_file(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml", document);
    ASSERT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);

    // Short codes looked up by the keys the school-management system knows them by.
    const auto code = [&](WorkTable table, const Row& criteria, const char* field) {
        return findRecord(work, table, criteria).at(field);
    };
    const std::string garcia = code(WorkTable::Proft, {{"X_EMPLEADO", "1001"}}, "ABREV");
    const std::string oneill = code(WorkTable::Proft, {{"X_EMPLEADO", "1005"}}, "ABREV");
    ASSERT_EQ(oneill, "O'NE");
    const std::string g1a = code(WorkTable::Grupost, {{"CLAVE", "G1ESOA"}}, "ABREV");
    const std::string g1b = code(WorkTable::Grupost, {{"CLAVE", "G1ESOB"}}, "ABREV");
    const std::string maths = code(WorkTable::Asigt, {{"CLAVE", "M102"}, {"CGRUP", g1a}}, "CASIG");
    const std::string lengua = code(WorkTable::Asigt, {{"CLAVE", "M101"}, {"CGRUP", g1b}}, "CASIG");
    const std::string meeting = code(WorkTable::Asignomt, {{"CODTAREA", "300"}}, "COD");
    const std::string teaching = code(WorkTable::Asignomt, {{"CODTAREA", "156"}}, "COD");
    const std::string lab = code(WorkTable::Aulat, {{"DEPCENTRO", "LAB1"}}, "ABREV");
    const std::string gym = code(WorkTable::Aulat, {{"DEPCENTRO", "GIM"}}, "ABREV");
    const Row wedSecond =
        findRecord(work, WorkTable::Diashorast, {{"CODDIHO", "T2"}, {"DIA", "3"}});
    const Row friSixth = findRecord(work, WorkTable::Diashorast, {{"CODDIHO", "T6"}, {"DIA", "5"}});
    const Row monFirst = findRecord(work, WorkTable::Diashorast, {{"CODDIHO", "T1"}, {"DIA", "1"}});

    // The third record is deleted.
    const std::vector<SolucRecord> records = {
        {maths, garcia, g1a, lab, teaching, wedSecond.at("DIA"), wedSecond.at("HORA")},
        {lengua, oneill, g1b, gym, teaching, monFirst.at("DIA"), monFirst.at("HORA")},
        {maths, garcia, g1a, gym, teaching, "2", "1"},
        {meeting, garcia, "", "", meeting, friSixth.at("DIA"), friSixth.at("HORA")},
        {maths, garcia, g1a, "", teaching, "0", "0"},
    };
    const auto written =
        runPython(R"(
import dbf, json, sys
table = dbf.Table(sys.argv[1], 'ASIG C(4); PROF C(4); CODGRUPO C(4); TURNO C(1); NIVEL C(5); '
                  'CURSO C(3); GRUPO C(1); AULA C(4); TAREA C(4); DIA N(2,0); HORA N(2,0); '
                  'SESIONES N(2,0)', dbf_type='db3', codepage='cp1252')
table.open(mode=dbf.READ_WRITE)
for asig, prof, group, room, task, day, hour in json.loads(sys.argv[2]):
    table.append((asig, prof, group, '', '', '', '', room, task, day, hour, 1))
with table[2] as record:
    dbf.delete(record)
table.close()
)",
                  {data::tableFile(work, WorkTable::Soluc).string(), toJson(records)});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    {  // The production-index flag, as the timetable program leaves it.
        std::fstream soluc(data::tableFile(work, WorkTable::Soluc),
                           std::ios::in | std::ios::out | std::ios::binary);
        soluc.seekp(28);
        soluc.put('\x01');
    }

    const auto outcome = runImport(document, work);
    ASSERT_EQ(outcome.outcome, ImportOutcome::Completed);
    EXPECT_EQ(outcome.resultPath, dir / "ResultadoHoralissierra.xml");
    EXPECT_EQ(outcome.teachers, 10u);
    EXPECT_EQ(outcome.lessons, 3u);
    const auto doc = XmlDocument::load(outcome.resultPath);

    EXPECT_EQ(selectTexts(doc, "/SERVICIO/SALIDAS/ERROR/salida[@dato='REGISTROS RECUPERADOS']"),
              std::vector<std::string>{"10"});
    EXPECT_EQ(
        selectTexts(doc, "/SERVICIO/SALIDAS/listasal[@seq='EMP_10']/salida[@dato='X_EMPLEADO']"),
        std::vector<std::string>{"1010"});
    const auto lessonsOf = [&](const std::string& employee) {
        std::vector<std::string> entries;
        for (const auto& entry :
             doc.selectNodes("/SERVICIO/SALIDAS/listasal[salida[@dato='X_EMPLEADO']='" + employee +
                             "']/listasal")) {
            std::string values = entry.attribute("seq").value_or("?") + ":";
            for (const auto& item : entry.childElements("salida")) {
                values += " " + item.attribute("dato").value_or("?") + "=" + item.text();
            }
            entries.push_back(values);
        }
        return entries;
    };
    EXPECT_EQ(lessonsOf("1001"),
              (std::vector<std::string>{
                  "TRAMO_1: X_ACTIVIDAD=156 N_DIASEMANA=3 X_TRAMO=T2 X_DEPCENTRO=LAB1 "
                  "X_MATERIAOMC=M102 X_UNIDAD=G1ESOA",
                  "TRAMO_2: X_ACTIVIDAD=300 N_DIASEMANA=5 X_TRAMO=T6 X_DEPCENTRO= "
                  "X_MATERIAOMC=300 X_UNIDAD="}));
    EXPECT_EQ(lessonsOf("1005"),
              (std::vector<std::string>{
                  "TRAMO_1: X_ACTIVIDAD=156 N_DIASEMANA=1 X_TRAMO=T1 X_DEPCENTRO=GIM "
                  "X_MATERIAOMC=M101 X_UNIDAD=G1ESOB"}));
    EXPECT_EQ(doc.selectNodes("//listasal[starts-with(@seq,'TRAMO_')]").size(), 3u);
    EXPECT_EQ(selectTexts(doc, "/SERVICIO/PARAMETROS/CENTRO"),
              std::vector<std::string>{"IES Sierra de la Vega"});
    EXPECT_EQ(doc.encoding(), "ISO-8859-1");
}

}  // namespace
}  // namespace thq::test
