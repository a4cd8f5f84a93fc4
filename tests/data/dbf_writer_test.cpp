// The record-by-record writer: the same file as the table engine writes for the same records,
// continuing a table, and its errors.
#include "data/dbf_writer.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

using test::errorOf;
using test::readFile;
using test::TempDir;

const std::vector<FieldSpec> kFields = {
    {"CODIGO", FieldType::Text, 4},     {"NOMBRE", FieldType::Text, 12},
    {"HORAS", FieldType::Number, 0},    {"DNI", FieldType::Integer, 0},
    {"ESTAREA", FieldType::Logical, 0},
};

// One record's values, set through either engine's setters.
struct Values {
    std::string code;
    std::string name;
    std::optional<double> hours;  // set as a number
    std::string dni;              // set as text (blank, digits)
    std::optional<bool> task;
};

const std::vector<Values> kRecords = {
    {"MAT", "Matemáticas I", 4, "12345678", false},
    {"LENGUA", "Lengua castellana y literatura", 2.5, "", true},  // both texts cut
    {"", "", std::nullopt, "  ", std::nullopt},                   // all empty
    {"A'B", "O'Neill", -3, "-7", true},
};

template <typename Table>
void fill(Table& table, const Values& values) {
    table.append();
    table.setText("CODIGO", values.code);
    table.setText("NOMBRE", values.name);
    if (values.hours) table.setNumber("HORAS", *values.hours);
    table.setText("DNI", values.dni);
    if (values.task) table.setLogical("ESTAREA", *values.task);
    table.post();
}

TEST(DbfWriter, WritesTheSameBytesAsTheTableEngine) {
    TempDir dir;
    DbfTable table(dir / "ENGINE.DBF");
    table.defineFields(kFields);
    table.create();
    table.open();
    for (const auto& values : kRecords) fill(table, values);
    table.close();

    DbfWriter writer(dir / "WRITER.DBF", kFields);
    for (const auto& values : kRecords) fill(writer, values);
    EXPECT_EQ(writer.recordCount(), kRecords.size());
    writer.close();
    EXPECT_EQ(readFile(dir / "WRITER.DBF"), readFile(dir / "ENGINE.DBF"));

    // Continued after its last record, as the task step continues the subjects' catalogue.
    auto more = DbfWriter::appendTo(dir / "WRITER.DBF");
    fill(more, kRecords[0]);
    more.close();
    table.open();
    fill(table, kRecords[0]);
    table.close();
    EXPECT_EQ(readFile(dir / "WRITER.DBF"), readFile(dir / "ENGINE.DBF"));
}

TEST(DbfWriter, RefusesWhatTheTableEngineRefuses) {
    TempDir dir;
    DbfWriter writer(dir / "T.DBF", kFields);
    const std::string file = (dir / "T.DBF").string() + ": ";
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { writer.setText("CODIGO", "x"); }, "no hay ningún registro nuevo en curso"},
        {[&] {
             writer.append();
             writer.setText("FALTA", "x");
         },
         "la tabla no tiene el campo «FALTA»"},
        {[&] { writer.setText("DNI", "12a"); },
         "el valor '12a' no es un número para el campo «DNI»"},
        {[&] { writer.setText("ESTAREA", "si"); },
         "el valor 'si' no es lógico para el campo «ESTAREA»"},
        {[&] { writer.setNumber("DNI", 1e12); },
         "el valor 1e+12 no cabe en el campo «DNI» (ancho 11)"},
        {[&] { writer.setNumber("NOMBRE", 1); }, "el campo «NOMBRE» no es numérico"},
        {[&] { writer.setTextAt(5, "x"); }, "la tabla no tiene el campo número 6"},
        {[&] { writer.expectRecords(50'000'000); },
         "la tabla tendría 50000000 registros de 47 bytes (2242 MB), más de los 2048 MB que "
         "admite un archivo dBase"},
    };
    for (const auto& [action, problem] : cases) {
        EXPECT_EQ(errorOf(action), file + problem);
    }
    writer.setNumberAt(2, 2.5);
    EXPECT_EQ(writer.pendingNumber("HORAS"), 2.5);
    writer.expectRecords(1'000'000);
    writer.post();
    writer.close();
    // Reading by index is bounded the same way.
    DbfTable table(dir / "T.DBF");
    table.open(OpenMode::ReadOnly);
    table.first();
    EXPECT_EQ(table.textAt(table.fieldIndex("horas")), "2.5");
    EXPECT_EQ(errorOf([&] { (void)table.textAt(5); }),
              file + "la tabla no tiene el campo número 6");
    EXPECT_EQ(errorOf([&] { (void)table.integerAt(5); }),
              file + "la tabla no tiene el campo número 6");
    EXPECT_EQ(errorOf([&] { (void)DbfWriter::appendTo(dir / "NO.DBF"); }),
              (dir / "NO.DBF").string() + ": la tabla no existe");
}

}  // namespace
}  // namespace thq::data
