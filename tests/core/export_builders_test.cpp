// The eight work tables as the export builds them from small documents.
#include <gtest/gtest.h>

#include "data/dbf_writer.hpp"
#include "data/error.hpp"
#include "data/xml_document.hpp"
#include "export/export_state.hpp"
#include "export_fixture.hpp"

namespace thq::test {
namespace {

using data::WorkTable;
using Column = std::vector<std::string>;

TEST(ExportCatalogue, SubjectsThenTasksOncePerLongCode) {
    ExportFixture f;
    f.exportXml(schoolXml({
        {"MATERIAS",
         {{"M1", "Matemáticas", "MATES", "C1", "60"},
          {"M2", "Matemáticas", "MATES", "C2", "60"},  // same subject, another course
          {"M3", "Matemáticas aplicadas", "MATEAP", "C1", "60"},
          {"M4"},  // one value: skipped
          {"M5", "Lengua", "lcl", "C1", "60"}}},
        {"TAREAS",
         {{"156", "Docencia", "DOCE", "S"},
          {"300", "Lengua otra vez", "LCL", "N"},  // a subject's long code in other case
          {"281", "Guardia", "MATEG", "N"}}},
    }));
    const auto records = f.table(WorkTable::Asignomt);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(f.column(WorkTable::Asignomt, "COD"),
              (Column{"MATE", "MAT1", "lcl", "DOCE", "MAT2"}));
    EXPECT_EQ(f.column(WorkTable::Asignomt, "CODLARGO"),
              (Column{"MATES", "MATEAP", "lcl", "DOCE", "MATEG"}));
    EXPECT_EQ(f.column(WorkTable::Asignomt, "ESTAREA"), (Column{"F", "F", "F", "T", "T"}));
    EXPECT_EQ(f.column(WorkTable::Asignomt, "CODTAREA"), (Column{"", "", "", "156", "281"}));
    EXPECT_EQ(records[0].at("NOMBRE"), "Matemáticas");
    EXPECT_EQ(records[0].at("MATERIA"), "");
}

TEST(ExportCatalogue, EmptyOrAbsentSectionsStillCreateEveryTable) {
    ExportFixture f;
    f.exportXml(schoolXml({}));
    for (auto table : data::exportTables()) {
        EXPECT_TRUE(f.table(table).empty()) << data::layoutOf(table).name;
    }
}

TEST(ExportCatalogue, TextsAreCutToTheirFields) {
    ExportFixture f;
    const std::string longName(45, 'n');
    f.exportXml(schoolXml({
        {"MATERIAS",
         {{"M1", longName, "ABCDEFGHIJ", "C1", "60"}, {"M2", "x", "ABC DEFG", "C1", ""}}},
        {"TAREAS", {{"IDENTIFICADOR-LARGO", "t", "TT"}}},  // two values past the name: no mark
    }));
    const auto records = f.table(WorkTable::Asignomt);
    EXPECT_EQ(records[0].at("NOMBRE"), std::string(40, 'n'));
    EXPECT_EQ(records[0].at("CODLARGO"), "ABCDEFGH");
    EXPECT_EQ(records[1].at("COD"), "ABC");  // the blank the cut leaves is not read back
    EXPECT_EQ(records[2].at("CODTAREA"), "IDENTIFICADO");
}

// The task step writes by field index into the catalogue the subject step created: a table
// there with other fields is refused before anything is written into it.
TEST(ExportCatalogue, AppendingChecksTheTableHoldsTheCatalogueFields) {
    TempDir dir;
    const auto xml = data::XmlDocument::parse(schoolXml({}), "escuela.xml");
    exporter::ExportState state(xml, dir.path());
    const auto file = data::tableFile(dir.path(), WorkTable::Asignomt);
    struct Case {
        const char* what;
        std::vector<data::FieldSpec> fields;
        bool accepted;
    };
    auto swapped = data::layoutOf(WorkTable::Asignomt).fields;
    std::swap(swapped[0], swapped[1]);
    const std::vector<Case> cases = {
        {"the catalogue's own fields", data::layoutOf(WorkTable::Asignomt).fields, true},
        {"two fields swapped", swapped, false},
        {"another table's fields", data::layoutOf(WorkTable::Asignomt2).fields, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        data::DbfWriter(file, c.fields).close();
        const std::string before = readFile(file);
        try {
            exporter::startTable(state, WorkTable::Asignomt, exporter::TableStart::Append).close();
            EXPECT_TRUE(c.accepted);
        } catch (const Error& error) {
            EXPECT_FALSE(c.accepted) << error.what();
            EXPECT_EQ(error.kind(), ErrorKind::Internal);
            EXPECT_NE(std::string(error.what()).find("ASIGNOMT.DBF"), std::string::npos);
        }
        EXPECT_EQ(readFile(file), before);
    }
}

TEST(ExportSubjectsByCourse, EveryRowWithTheFirstFourCharactersOfItsLongCode) {
    ExportFixture f;
    f.exportXml(schoolXml({
        {"MATERIAS",
         {{"M1", "Matemáticas", "MATES", "C1", "60"},
          {"M2", "Matemáticas", "MATES", "C2-LARGO-CLAVE", "60"},
          {"M3", "Mat. aplicadas", "MATEAP", "C1", "60"},
          {"M4", "Ed. Física", "EF", "C1"}}},
        {"TAREAS",
         {{"156", "Docencia", "DOCE", "SN"},
          {"281", "Guardia", "GUAR", ""},
          {"282", "Otra", "OTRA"}}},
    }));
    EXPECT_EQ(f.column(WorkTable::Asignomt2, "COD"),
              (Column{"MATE", "MATE", "MATE", "EF", "DOCE", "GUAR", "OTRA"}));
    EXPECT_EQ(f.column(WorkTable::Asignomt2, "MATERIA"),
              (Column{"M1", "M2", "M3", "M4", "156", "281", "282"}));
    EXPECT_EQ(f.column(WorkTable::Asignomt2, "CLAVECURSO"),
              (Column{"C1", "C2-LARGO-CLA", "C1", "C1", "", "", ""}));
    EXPECT_EQ(f.column(WorkTable::Asignomt2, "ALECTIVA"), (Column{"", "", "", "", "S", "", ""}));
}

TEST(ExportTeachersAndRooms, CodesNamesAndIdentifiers) {
    ExportFixture f;
    f.exportXml(schoolXml({
        {"PROFESORES",
         {{"1001", "01/09/2015", "María García", "GARCIA"},
          {"1002", "01/09/2018", "Antonio Garcés", "GARCES"},
          {"1003", "x", "Otra García", "garcia"},
          {"IDENTIFICADOR-LARGO", "FECHA-MUY-LARGA", "Sin código"},
          {"1005"}}},
        {"AULAS",
         {{"A1", "Aula 1", "AULA 1"},
          {"A2", "Aula 2", "AULA 2"},
          {"L1", "Lab 1", "LAB 1"},
          {"L2", "Lab 2", "LAB 2"},
          {"A3", "Aula 3", "AULA 3"}}},
    }));
    EXPECT_EQ(f.column(WorkTable::Proft, "ABREV"), (Column{"GARC", "GAR1", "gar2", ""}));
    EXPECT_EQ(f.column(WorkTable::Proft, "NOMBRE"),
              (Column{"María García", "Antonio Garcés", "Otra García", "Sin código"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "X_EMPLEADO"),
              (Column{"1001", "1002", "1003", "IDENTIFICA"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "F_TOMAPOS"),
              (Column{"01/09/2015", "01/09/2018", "x", "FECHA-MUY-"}));
    EXPECT_EQ(f.column(WorkTable::Proft, "DNI"), (Column{"", "", "", ""}));
    EXPECT_EQ(f.column(WorkTable::Aulat, "ABREV"), (Column{"AULA", "AU1", "LAB", "LA1", "AU2"}));
    EXPECT_EQ(f.column(WorkTable::Aulat, "DEPCENTRO"), (Column{"A1", "A2", "L1", "L2", "A3"}));
}

TEST(ExportCoursesAndGroups, GroupsCarryTheirCourseAsStored) {
    ExportFixture f;
    f.exportXml(schoolXml({
        {"CURSOS",
         {{"C1", "1", "ESO", "ESO", "1º"},
          {"C2", "2", "BAC", " ", "2º"},  // blank level
          {"C1", "x", "x", "OTRO", "9"},  // same key again: the first counts
          {"CLAVE-DE-MAS-DE-DIEZ", "", "", "LARGO", "1"}}},
        {"GRUPOS",
         {{"G1", "ESO1A", "C1"},
          {"G2", "ESO1B", "C1"},
          {"G3", "ESO 1C", "C2"},
          {"G4", "2B", "SIN-CURSO"},
          {"G5", "", "CLAVE-DE-MAS-DE-DIEZ"},
          {"G6", "", "C1"}}},
    }));
    EXPECT_EQ(f.column(WorkTable::Cursost, "NIVEL"), (Column{"ESO", "NIV", "OTRO", "LARGO"}));
    EXPECT_EQ(f.column(WorkTable::Cursost, "CLAVE"), (Column{"C1", "C2", "C1", "CLAVE-DE-M"}));
    EXPECT_EQ(f.column(WorkTable::Cursost, "ABREV"), (Column{"", "", "", ""}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "ABREV"),
              (Column{"ESO1", "ESO2", "ESO", "2B", "", "1"}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "NIVEL"), (Column{"ESO", "ESO", "NIV", "", "", "ESO"}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "CURSO"), (Column{"1º", "1º", "2º", "", "", "1º"}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "GRUPO"), (Column{"A", "B", "C", "B", "", ""}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "CLAVECURSO"),
              (Column{"C1", "C1", "C2", "SIN-CURSO", "CLAVE-DE-M", "C1"}));
    EXPECT_EQ(f.column(WorkTable::Grupost, "DESCRIP"),
              (Column{"ESO 1º A", "ESO 1º B", "NIV 2º C", "  B", "", "ESO 1º"}));
}

// A school with one course of two groups and the three task records.
std::vector<SectionRows> assignmentSchool(std::vector<Row> subjects) {
    return {
        {"CURSOS", {{"C1", "", "", "ESO", "1º"}, {"C2", "", "", "BACH", "2º"}}},
        {"GRUPOS", {{"G1", "1A", "C1"}, {"G9", "2A", "C2"}, {"G2", "1B", "C1"}}},
        {"MATERIAS", std::move(subjects)},
        {"TAREAS",
         {{"156", "Docencia", "DOCE"}, {"281", "Guardia", "GUAR"}, {"286", "Biblioteca", "BIBL"}}},
    };
}

TEST(ExportAssignments, OneRecordPerSubjectAndGroupOfItsCourse) {
    ExportFixture f;
    f.exportXml(schoolXml(assignmentSchool({
        {"M1", "Matemáticas", "MATES", "C1", "240"},
        {"M2", "Historia", "HIS", "C2", "90"},
        {"M3", "Sin grupos", "NADA", "C3", "x"},  // no group: no record, minutes never read
        {"M4", "Repetida", "MATES", "C1", "60"},  // skipped by the catalogue, not here
    })));
    const auto records = f.table(WorkTable::Asigt);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(f.column(WorkTable::Asigt, "CASIG"), (Column{"MATE", "MATE", "HIS", "MATE", "MATE"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "CGRUP"), (Column{"1A", "1B", "2A", "1A", "1B"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "GRUPO"), (Column{"A", "B", "A", "A", "B"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "NIVEL"), (Column{"ESO", "ESO", "BACH", "ESO", "ESO"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "CLAVE"), (Column{"M1", "M1", "M2", "M4", "M4"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "HORAS"), (Column{"4", "4", "2", "1", "1"}));
    EXPECT_EQ(f.column(WorkTable::Asigt, "CTAREA"),
              (Column{"DOCE", "DOCE", "DOCE", "DOCE", "DOCE"}));
    EXPECT_EQ(records[0].at("CPROF"), "");
    EXPECT_EQ(records[0].at("CAULA"), "");
}

TEST(ExportAssignments, HoursSessionsAndTaskCodes) {
    struct Case {
        const char* name;
        const char* minutes;
        const char* hours;
        const char* sessions;
        const char* task;
    };
    const std::vector<Case> cases = {
        {"Matemáticas", "60", "1", "1", "DOCE"},
        {"Lengua", "61", "2", "11", "DOCE"},
        {"Música", "0", "1", "1", "DOCE"},
        {"Plástica", "-120", "1", "1", "DOCE"},
        {"Dibujo", "", "1", "1", "DOCE"},
        {"Física", " 180 ", "3", "111", "DOCE"},
        {"Química", "780", "13", "1111111111111", "DOCE"},
        {"Taller", "781", "14", "11111111111111", "DOCE"},
        {"Proyecto", "900", "15", "21111111111111", "DOCE"},
        {"Laboratorio", "1380", "23", "101111111111111", "DOCE"},
        {"Repaso", "$3C", "1", "1", "DOCE"},
        {"Guardia de recreo", "30", "1", "1", "GUAR"},
        {"guardia", "30", "1", "1", "GUAR"},
        {"Biblioteca", "30", "1", "1", "BIBL"},
        {"Guardia de biblioteca", "30", "1", "1", "BIBL"},
    };
    std::vector<Row> subjects;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string n = std::to_string(i);
        subjects.push_back({std::string("M").append(n), cases[i].name, std::string("S").append(n),
                            "C2", cases[i].minutes});
    }
    ExportFixture f;
    f.exportXml(schoolXml(assignmentSchool(subjects)));
    const auto records = f.table(WorkTable::Asigt);
    ASSERT_EQ(records.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(records[i].at("HORAS"), cases[i].hours) << cases[i].minutes;
        EXPECT_EQ(records[i].at("SESIONES"), cases[i].sessions) << cases[i].minutes;
        EXPECT_EQ(records[i].at("CTAREA"), cases[i].task) << cases[i].name;
    }
}

TEST(ExportAssignments, NoTaskRecordLeavesTheTaskEmpty) {
    ExportFixture f;
    auto school = assignmentSchool({{"M1", "Matemáticas", "MATES", "C1", "60"}});
    school[3].rows = {{"281", "Guardia", "GUAR"}};
    f.exportXml(schoolXml(school));
    EXPECT_EQ(f.column(WorkTable::Asigt, "CTAREA"), (Column{"", ""}));
}

TEST(ExportAssignments, MinutesThatAreNotAWholeNumberStopTheExport) {
    for (const char* minutes : {"90.5", "1h", "2147483648"}) {
        ExportFixture f;
        try {
            f.exportXml(schoolXml(assignmentSchool(
                {{"M1", "Mat", "MATES", "C1", "60"}, {"M2", "Mat", "MATES", "C1", minutes}})));
            ADD_FAILURE() << minutes << " was accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(error.what()),
                      std::string("'") + minutes + "' no es un valor entero válido");
            EXPECT_EQ(error.detail(),
                      std::string("MATERIAS, fila 2, valor 4 (minutos): '") + minutes + "'");
        }
    }
}

Row interval(const char* code, const char* name, const char* start, const char* end,
             const char* order) {
    return {dato("CODIGO_QUELVA", code), dato("NOMBRE", name), dato("INICIO", start),
            dato("FIN", end), dato("ORDEN", order)};
}

TEST(ExportSlots, IntervalsNumberedByOrderSevenDaysEach) {
    ExportFixture f;
    f.exportXml(schoolXml({{"INTERVALOS",
                            {interval("T3", "Tercera", "10:00", "11:00", "3"),
                             interval("T1", "Primera", "8:00", "8:55", " 1 "),
                             interval("T2", "Segunda y más", "14:00", "13:00", "2"),
                             interval("TX", "Cero", "8:00", "9:00", "01"),
                             interval("TY", "Fuera", "8:00", "9:00", "41"),
                             interval("TZ", "Decimal", "8:00", "9:00", "1.0"),
                             {dato("CODIGO_QUELVA", "T9"), dato("ORDEN", "9"), dato("orden", "1"),
                              dato("INICIO", "9:00"), dato("FIN", "9:30"), "sin dato"},
                             interval("T4", "Otra 3", "11:00", "12:00", "3")}}}));
    const auto records = f.table(WorkTable::Diashorast);
    ASSERT_EQ(records.size(), 5u * 7u);
    const Column codes = {"T1", "T2", "T3", "T4", "T9"};
    for (std::size_t slot = 0; slot < codes.size(); ++slot) {
        for (std::size_t day = 0; day < 7; ++day) {
            const auto& r = records[slot * 7 + day];
            EXPECT_EQ(r.at("CODDIHO"), codes[slot]);
            EXPECT_EQ(r.at("DIA"), std::to_string(day + 1));
            EXPECT_EQ(r.at("HORA"), std::to_string(slot + 1));
            EXPECT_EQ(r.at("DIHO"), std::to_string(day + 1).append(std::to_string(slot + 1)));
            EXPECT_EQ(r.at("TEXTODIA"), "");
        }
    }
    EXPECT_EQ(records[0].at("HORADESDE"), "08:00");
    EXPECT_EQ(records[0].at("HORAHASTA"), "08:55");
    EXPECT_EQ(records[0].at("MINUTOS"), "55");
    EXPECT_EQ(records[7].at("TEXTOHOR"), "Segunda");  // cut to eight, trailing blank not read back
    EXPECT_EQ(records[7].at("MINUTOS"), "-60");
}

TEST(ExportSlots, ShortTimesGainAZeroPerRecord) {
    ExportFixture f;
    f.exportXml(schoolXml({{"INTERVALOS", {interval("T1", "Uno", "800", "9:00", "1")}}}));
    const auto records = f.table(WorkTable::Diashorast);
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[0].at("HORADESDE"), "0800");
    EXPECT_EQ(records[0].at("MINUTOS"), "60");
    for (std::size_t day = 1; day < 7; ++day) {
        EXPECT_EQ(records[day].at("HORADESDE"), "00800");
        EXPECT_EQ(records[day].at("MINUTOS"), "540");
    }
    ExportFixture dotted;
    dotted.exportXml(schoolXml({{"INTERVALOS", {interval("T1", "Uno", "8.00", "8.30", "1")}}}));
    EXPECT_EQ(dotted.table(WorkTable::Diashorast)[0].at("MINUTOS"), "30");
}

TEST(ExportSlots, TimesThatDoNotConvertStopTheExport) {
    struct Case {
        Row row;
        const char* refused;
        const char* place;
    };
    const std::vector<Case> cases = {
        {interval("T1", "Uno", "08:00:00", "09:00", "1"), "00:00",
         "INTERVALOS, fila 1, dato INICIO: '08:00:00'"},
        {interval("T1", "Uno", "8:00", "", "1"), "", "INTERVALOS, fila 1, dato FIN: ''"},
        {{dato("ORDEN", "1"), dato("INICIO", "8:00")}, "", "INTERVALOS, fila 1, dato FIN: ''"},
        {interval("T1", "Uno", "8:00", "9:y0", "1"), "y0", "INTERVALOS, fila 1, dato FIN: '9:y0'"},
        {interval("T1", "Uno", "a8:00", "9:00", "1"), "a8",
         "INTERVALOS, fila 1, dato INICIO: 'a8:00'"},
    };
    for (const auto& c : cases) {
        ExportFixture f;
        try {
            f.exportXml(schoolXml({{"INTERVALOS", {c.row}}}));
            ADD_FAILURE() << "accepted, expected refusal of '" << c.refused << "'";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), ErrorKind::Conversion);
            EXPECT_EQ(error.value(), c.refused);
            EXPECT_EQ(error.detail(), c.place);
        }
    }
}

}  // namespace
}  // namespace thq::test
