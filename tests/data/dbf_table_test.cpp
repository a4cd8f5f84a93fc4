// The dBase table engine: round trips, interoperability with independent dBase tools,
// navigation and filters, share modes, malformed files.
#include "data/dbf_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/table_layouts.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

using test::errorOf;
using test::readFile;
using test::runPython;
using test::TempDir;
using test::writeFile;

unsigned byteAt(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes.at(at));
}

unsigned u16At(const std::string& bytes, std::size_t at) {
    return byteAt(bytes, at) | (byteAt(bytes, at + 1) << 8);
}

unsigned u32At(const std::string& bytes, std::size_t at) {
    return u16At(bytes, at) | (u16At(bytes, at + 2) << 16);
}

void putU16(std::string& bytes, std::size_t at, unsigned value) {
    bytes.at(at) = static_cast<char>(value & 0xFF);
    bytes.at(at + 1) = static_cast<char>(value >> 8);
}

void putU32(std::string& bytes, std::size_t at, unsigned value) {
    putU16(bytes, at, value & 0xFFFF);
    putU16(bytes, at + 2, value >> 16);
}

// Every live record of a table as field texts, in scan order.
std::vector<std::vector<std::string>> scan(DbfTable& table, const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> rows;
    for (table.first(); !table.eof(); table.next()) {
        std::vector<std::string> row;
        for (const auto& name : names) row.push_back(table.text(name));
        rows.push_back(row);
    }
    return rows;
}

std::filesystem::path createTable(const std::filesystem::path& file,
                                  std::vector<FieldSpec> fields) {
    DbfTable table(file);
    table.defineFields(std::move(fields));
    table.create();
    return file;
}

// ---------------------------------------------------------------------------------------
// Round trips through our own engine

// "T0", "T1"...: appended rather than `"T" + std::to_string(i)`, which GCC 12 warns about
// (a false -Wrestrict positive when optimising).
std::string textField(std::size_t i) {
    std::string name = "T";
    name += std::to_string(i);
    return name;
}

TEST(DbfRoundTrip, TextsAreCutToTheWidthAndLoseOnlyTrailingBlanks) {
    struct Case {
        int width;
        std::string written;
        std::string readBack;
    };
    const std::vector<Case> cases = {
        {8, "ABCDEFGHIJ", "ABCDEFGH"},        // cut to the width
        {4, "ABC DEFG", "ABC"},               // the cut leaves a trailing blank
        {6, "  AB", "  AB"},                  // leading blanks stay
        {5, "", ""},                          // empty
        {5, "A B  ", "A B"},                  // inner blank stays, trailing ones go
        {3, "\xD1\xE1\xFC", "\xD1\xE1\xFC"},  // Windows-1252 bytes pass untouched
        {1, "XY", "X"},
    };
    TempDir dir;
    std::vector<FieldSpec> fields;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        fields.push_back({textField(i), FieldType::Text, cases[i].width});
    }
    auto file = createTable(dir / "TEXTS.DBF", fields);
    {
        DbfTable table(file);
        table.open(OpenMode::Exclusive);
        table.append();
        for (std::size_t i = 0; i < cases.size(); ++i) {
            table.setText(textField(i), cases[i].written);
        }
        table.post();
    }
    DbfTable table(file);
    table.open();
    ASSERT_EQ(table.recordCount(), 1u);
    table.first();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("width " + std::to_string(cases[i].width) + " '" + cases[i].written + "'");
        EXPECT_EQ(table.text(textField(i)), cases[i].readBack);
        EXPECT_EQ(table.fields()[i].width, cases[i].width);
        EXPECT_EQ(table.fields()[i].type, 'C');
    }
}

TEST(DbfRoundTrip, NumbersIntegersAndLogicals) {
    struct Case {
        std::optional<double> number;
        std::optional<double> integer;
        std::optional<bool> logical;
        std::string numberText;
        std::int32_t numberAsInteger;
        std::string integerText;
        std::string logicalText;
        std::string numberBytes;  // as the file holds it, 18 wide
    };
    const std::vector<Case> cases = {
        {3, 42, true, "3", 3, "42", "T", "            3.0000"},
        {2.5, -7, false, "2.5", 2, "-7", "F", "            2.5000"},
        {3.5, 0, {}, "3.5", 4, "0", "", "            3.5000"},
        {-2.5, -2147483648.0, true, "-2.5", -2, "-2147483648", "T", "           -2.5000"},
        {-60, 2147483647, {}, "-60", -60, "2147483647", "", "          -60.0000"},
        {1234.56789, {}, {}, "1234.5679", 1235, "", "", "         1234.5679"},
        {-0.00001, {}, {}, "0", 0, "", "", "            0.0000"},
        {{}, {}, {}, "", 0, "", "", "                  "},
    };
    TempDir dir;
    auto file = createTable(dir / "NUMS.DBF", {{"NUM", FieldType::Number, 0},
                                               {"INT", FieldType::Integer, 0},
                                               {"LOG", FieldType::Logical, 0}});
    {
        DbfTable table(file);
        table.open(OpenMode::Exclusive);
        for (const auto& c : cases) {
            table.append();
            if (c.number) table.setNumber("NUM", *c.number);
            if (c.integer) table.setNumber("INT", *c.integer);
            if (c.logical) table.setLogical("LOG", *c.logical);
            EXPECT_EQ(table.pendingNumber("NUM"), c.number.value_or(0.0));
            table.post();
        }
    }
    const std::string bytes = readFile(file);
    const std::size_t headerLength = u16At(bytes, 8);
    const std::size_t recordLength = u16At(bytes, 10);
    ASSERT_EQ(recordLength, 1u + 18 + 11 + 1);

    DbfTable table(file);
    table.open();
    ASSERT_EQ(table.recordCount(), cases.size());
    std::size_t i = 0;
    for (table.first(); !table.eof(); table.next(), ++i) {
        const Case& c = cases.at(i);
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(table.text("NUM"), c.numberText);
        EXPECT_EQ(table.integer("NUM"), c.numberAsInteger);
        EXPECT_EQ(table.text("INT"), c.integerText);
        EXPECT_EQ(table.integer("INT"), c.integer ? static_cast<std::int32_t>(*c.integer) : 0);
        EXPECT_EQ(table.text("LOG"), c.logicalText);
        EXPECT_EQ(bytes.substr(headerLength + i * recordLength + 1, 18), c.numberBytes);
    }
    EXPECT_EQ(i, cases.size());
}

TEST(DbfRoundTrip, ValuesTooWideForANumericFieldNameTheFileAndField) {
    TempDir dir;
    auto file = createTable(dir / "PROFT.DBF", layoutOf(WorkTable::Proft).fields);
    DbfTable table(file);
    table.open(OpenMode::Exclusive);
    table.append();
    for (double value : {1e11, -1e10, std::nan(""), HUGE_VAL}) {
        std::string message = errorOf([&] { table.setNumber("DNI", value); });
        EXPECT_EQ(message.rfind(file.string() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find("«DNI»"), std::string::npos) << message;
    }
    table.setNumber("DNI", -9999999999.0);  // 11 characters: fits
    table.post();
    table.first();
    EXPECT_EQ(table.text("DNI"), "-9999999999");
}

TEST(DbfWrite, HeaderAndRecordsHaveTheDbase3Layout) {
    TempDir dir;
    writeFile(dir / "PROFT.DBF", std::string(5000, 'x'));  // replaced by create()
    const auto& layout = layoutOf(WorkTable::Proft);
    auto file = createTable(tableFile(dir.path(), WorkTable::Proft), layout.fields);
    {
        DbfTable table(file);
        table.open(OpenMode::Exclusive);
        for (const char* abbreviation : {"AB", "CD"}) {
            table.append();
            table.setText("ABREV", abbreviation);
            table.setNumber("DNI", 12);
            table.post();
        }
    }
    const std::string bytes = readFile(file);
    const std::size_t fieldCount = layout.fields.size();
    const std::size_t headerLength = 32 + 32 * fieldCount + 1;
    const std::size_t recordLength = 1 + 4 + 40 + 40 + 11 + 10 + 10;

    const platform::CalendarDate today = platform::localToday();
    EXPECT_EQ(byteAt(bytes, 0), 0x03u);
    EXPECT_EQ(byteAt(bytes, 1), static_cast<unsigned>(today.year - 1900));
    EXPECT_EQ(byteAt(bytes, 2), static_cast<unsigned>(today.month));
    EXPECT_EQ(byteAt(bytes, 3), static_cast<unsigned>(today.day));
    EXPECT_EQ(u32At(bytes, 4), 2u);
    EXPECT_EQ(u16At(bytes, 8), headerLength);
    EXPECT_EQ(u16At(bytes, 10), recordLength);
    EXPECT_EQ(byteAt(bytes, 28), 0u);
    EXPECT_EQ(byteAt(bytes, 29), 0x57u);
    // DNI, the fourth field: "DNI" NUL-padded to 11, 'N', width 11, no decimals.
    const std::string dni = bytes.substr(32 + 32 * 3, 32);
    EXPECT_EQ(dni.substr(0, 11), std::string("DNI\0\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(dni[11], 'N');
    EXPECT_EQ(byteAt(dni, 16), 11u);
    EXPECT_EQ(byteAt(dni, 17), 0u);
    EXPECT_EQ(byteAt(bytes, headerLength - 1), 0x0Du);
    ASSERT_EQ(bytes.size(), headerLength + 2 * recordLength + 1);
    EXPECT_EQ(bytes.substr(headerLength, 5), " AB  ");
    EXPECT_EQ(bytes.substr(headerLength + 1 + 4 + 80, 11), "         12");
    EXPECT_EQ(bytes[headerLength + recordLength], ' ');
    EXPECT_EQ(byteAt(bytes, bytes.size() - 1), 0x1Au);

    // The name is used exactly as given.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"PROFT.DBF"});
}

TEST(DbfWrite, PostedRecordIsInTheFileBeforeClose) {
    TempDir dir;
    auto file = createTable(dir / "AULAT.DBF", layoutOf(WorkTable::Aulat).fields);
    DbfTable writer(file);
    writer.open(OpenMode::Shared);
    writer.append();
    writer.setText("ABREV", "A1");
    writer.setNumber("MAXALUM", 30);
    writer.post();
    EXPECT_EQ(writer.text("ABREV"), "A1");  // the posted record is the current one
    EXPECT_EQ(writer.currentRecordNumber(), 0u);

    DbfTable reader(file);
    reader.open(OpenMode::Shared);
    EXPECT_EQ(scan(reader, {"ABREV", "MAXALUM"}),
              (std::vector<std::vector<std::string>>{{"A1", "30"}}));
    EXPECT_EQ(u32At(readFile(file), 4), 1u);
}

TEST(DbfWrite, FailedPostReportsTheFileAndKeepsTheTableConsistent) {
    TempDir dir;
    auto file = createTable(dir / "CURSOST.DBF", layoutOf(WorkTable::Cursost).fields);
    DbfTable table(file);
    table.open(OpenMode::Exclusive);
    table.append();
    table.setText("ABREV", "1A");
    table.post();

    // The next write fails as on a full disk.
    if (!test::kFaultInjection) GTEST_SKIP() << "needs the fault injector (TH_FAULT_INJECTION)";
    table.append();
    table.setText("ABREV", "2B");
    test::failNextWrite();
    std::string message = errorOf([&] { table.post(); });
    test::stopFailing();

    EXPECT_EQ(message.rfind(test::utf8(file) + ": no se puede escribir: ", 0), 0u) << message;
    table.close();
    table.open();
    EXPECT_EQ(scan(table, {"ABREV"}), (std::vector<std::vector<std::string>>{{"1A"}}));
}

TEST(DbfWrite, UnknownFieldsAndMissingFilesAreNamed) {
    TempDir dir;
    auto file = createTable(dir / "PROFT.DBF", layoutOf(WorkTable::Proft).fields);
    DbfTable table(file);
    table.open();
    table.append();
    EXPECT_EQ(errorOf([&] { table.setText("XYZ", "1"); }),
              file.string() + ": la tabla no tiene el campo «XYZ»");

    DbfTable missing(dir / "NOPE.DBF");
    EXPECT_EQ(errorOf([&] { missing.open(); }),
              (dir / "NOPE.DBF").string() + ": la tabla no existe");
    DbfTable noFolder(dir / "NOFOLDER" / "PROFT.DBF");
    EXPECT_EQ(errorOf([&] { noFolder.open(); }),
              (dir / "NOFOLDER" / "PROFT.DBF").string() + ": la carpeta no existe");
    noFolder.defineFields(layoutOf(WorkTable::Proft).fields);
    EXPECT_EQ(errorOf([&] { noFolder.create(); }),
              (dir / "NOFOLDER" / "PROFT.DBF").string() + ": la carpeta no existe");
}

// ---------------------------------------------------------------------------------------
// Interoperability with independent dBase tools

// A text value for field `index` of record `row`, exercising blanks and accented bytes.
std::string sampleText(int row, std::size_t index, int width) {
    std::string value = row == 0 ? " \xD1"
                                   "a" +
                                       std::to_string(index) + "  z"
                                 : "Q" + std::to_string(index * 7) + " ";
    return value.substr(0, static_cast<std::size_t>(width));
}

TEST(DbfInterop, DbfreadReadsEveryWorkTableWeWrite) {
    TH_REQUIRE_PYTHON_READERS();
    static const char* kReader = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp1252', char_decode_errors='strict')
print(' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in t.fields))
for r in t:
    print('|'.join(ascii(v) for v in r.values()))
)";
    TempDir dir;
    std::vector<WorkTable> tables(exportTables().begin(), exportTables().end());
    tables.push_back(WorkTable::Soluc);
    for (WorkTable which : tables) {
        const auto& layout = layoutOf(which);
        SCOPED_TRACE(std::string(layout.name));
        auto file = createTable(tableFile(dir.path(), which), layout.fields);
        std::string expectedFields;
        std::vector<std::string> expectedRows;
        {
            DbfTable table(file);
            table.open(OpenMode::Exclusive);
            for (int row = 0; row < 2; ++row) {
                table.append();
                std::string line;
                for (std::size_t i = 0; i < layout.fields.size(); ++i) {
                    const FieldSpec& definition = layout.fields[i];
                    if (i > 0) line += "|";
                    switch (definition.type) {
                        case FieldType::Text: {
                            std::string value = sampleText(row, i, definition.width);
                            table.setText(definition.name, value);
                            auto end = value.find_last_not_of(' ');
                            value = end == std::string::npos ? "" : value.substr(0, end + 1);
                            std::string shown;
                            for (unsigned char c : value) {
                                char hex[8];
                                std::snprintf(hex, sizeof hex, c < 0x80 ? "%c" : "\\x%02x", c);
                                shown += hex;
                            }
                            line += "'" + shown + "'";
                            break;
                        }
                        case FieldType::Integer:
                            table.setNumber(definition.name, row == 0 ? -123 : 45);
                            line += row == 0 ? "-123" : "45";
                            break;
                        case FieldType::Number:
                            if (row == 0) table.setNumber(definition.name, 2.5);
                            line += row == 0 ? "2.5" : "None";
                            break;
                        case FieldType::Logical:
                            table.setLogical(definition.name, row == 0);
                            line += row == 0 ? "True" : "False";
                            break;
                    }
                }
                table.post();
                expectedRows.push_back(line);
            }
            for (const auto& field : table.fields()) {
                if (!expectedFields.empty()) expectedFields += " ";
                expectedFields += field.name + ":" + field.type + ":" +
                                  std::to_string(field.width) + ":" +
                                  std::to_string(field.decimals);
            }
        }
        std::string expectedOutput = expectedFields + "\n";
        for (const auto& line : expectedRows) expectedOutput += line + "\n";

        std::string layoutFields;
        for (const auto& definition : layout.fields) {
            if (!layoutFields.empty()) layoutFields += " ";
            int width = definition.type == FieldType::Text      ? definition.width
                        : definition.type == FieldType::Integer ? 11
                        : definition.type == FieldType::Number  ? 18
                                                                : 1;
            layoutFields += definition.name + ":" +
                            (definition.type == FieldType::Text      ? "C"
                             : definition.type == FieldType::Logical ? "L"
                                                                     : "N") +
                            ":" + std::to_string(width) + ":" +
                            (definition.type == FieldType::Number ? "4" : "0");
        }
        EXPECT_EQ(expectedFields, layoutFields);

        auto result = runPython(kReader, {file.string()});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, expectedOutput);
    }
}

// Writes a dBase III table with python's `dbf` package: fields NAME C(10), HORAS N(8,2),
// DNI N(11,0), ACTIVO L, FECHA D; five records, the second deleted.
void writeWithPythonDbf(const std::filesystem::path& file) {
    static const char* kWriter = R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'NAME C(10); HORAS N(8,2); DNI N(11,0); ACTIVO L; FECHA D',
              dbf_type='db3', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(("O'NE", 3, 12, True, dbf.Date(2024, 5, 17)))
t.append(('GONE', 2.5, 1, False, None))
t.append({'name': 'EMPTY'})
t.append(('\xd1and\xfa', 2.5, -60, False, None))
t.append(('LAST', 3.5, 7, None, None))
dbf.delete(t[1])
t.close()
)";
    auto result = runPython(kWriter, {file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

const std::vector<std::string> kPythonFields = {"NAME", "HORAS", "DNI", "ACTIVO", "FECHA"};
const std::vector<std::vector<std::string>> kPythonRows = {
    {"O'NE", "3", "12", "T", "20240517"},
    {"EMPTY", "", "", "", ""},
    {"\xD1"
     "and\xFA",
     "2.5", "-60", "F", ""},
    {"LAST", "3.5", "7", "", ""},
};

TEST(DbfInterop, ReadsDbase3TablesWrittenByPythonDbfWithTheIndexFlag) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    auto file = dir / "SOLUC.DBF";
    writeWithPythonDbf(file);
    std::string bytes = readFile(file);
    bytes[28] = 0x01;  // the production-index flag, as on the timetable program's tables
    writeFile(file, bytes);

    DbfTable table(file);
    table.open(OpenMode::Exclusive);
    EXPECT_EQ(table.recordCount(), 4u);
    EXPECT_EQ(scan(table, kPythonFields), kPythonRows);
    std::vector<std::int32_t> hours;
    for (table.first(); !table.eof(); table.next()) hours.push_back(table.integer("HORAS"));
    EXPECT_EQ(hours, (std::vector<std::int32_t>{3, 0, 2, 4}));
    const auto& fields = table.fields();
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[1].type, 'N');
    EXPECT_EQ(fields[1].width, 8);
    EXPECT_EQ(fields[1].decimals, 2);
    EXPECT_EQ(fields[4].type, 'D');
}

TEST(DbfInterop, ReadsDbase4VersionBytes) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    auto file = dir / "D4.DBF";
    writeWithPythonDbf(file);
    const std::string original = readFile(file);
    for (unsigned char version : {0x8B, 0x83, 0x8E}) {
        SCOPED_TRACE(static_cast<int>(version));
        std::string bytes = original;
        bytes[0] = static_cast<char>(version);
        writeFile(file, bytes);
        DbfTable table(file);
        table.open();
        EXPECT_EQ(scan(table, kPythonFields), kPythonRows);
    }
}

TEST(DbfInterop, ReadsVisualFoxProTablesWithIntegerFieldsAndBacklink) {
    TH_REQUIRE_PYTHON_READERS();
    static const char* kWriter = R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'NAME C(6); CNT I; H N(8,2)', dbf_type='vfp', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('AB', -70000, 1.25))
t.append(('CD', -70000, None))
t.append(('EF', 2147483646, 10))
dbf.delete(t[0])
t.close()
)";
    TempDir dir;
    auto file = dir / "VFP.DBF";
    auto result = runPython(kWriter, {file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string bytes = readFile(file);
    ASSERT_EQ(byteAt(bytes, 0), 0x30u);
    ASSERT_EQ(u16At(bytes, 8), 32u + 3 * 32 + 1 + 263);

    DbfTable table(file);
    table.open();
    EXPECT_EQ(
        scan(table, {"NAME", "CNT", "H"}),
        (std::vector<std::vector<std::string>>{{"CD", "-70000", ""}, {"EF", "2147483646", "10"}}));
    table.first();
    EXPECT_EQ(table.integer("CNT"), -70000);
}

// ---------------------------------------------------------------------------------------
// Navigation and filters

class DbfScan : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = createTable(dir_ / "SOLUC.DBF", layoutOf(WorkTable::Soluc).fields);
        DbfTable table(file_);
        table.open(OpenMode::Exclusive);
        for (const char* prof : {"O'NE", "o'ne", "ONE", "TWO", "O'NE", "ONE "}) {
            table.append();
            table.setText("PROF", prof);
            table.setNumber("DIA", static_cast<double>(table.recordCount()));
            table.post();
        }
        table.close();
        // Mark the record with DIA 2 (ONE) deleted, as another program would.
        std::string bytes = readFile(file_);
        std::size_t headerLength = u16At(bytes, 8);
        std::size_t recordLength = u16At(bytes, 10);
        bytes[headerLength + 2 * recordLength] = '*';
        writeFile(file_, bytes);
    }

    std::vector<std::string> visitedDays(DbfTable& table) {
        std::vector<std::string> days;
        for (; !table.eof(); table.next()) days.push_back(table.text("DIA"));
        return days;
    }

    TempDir dir_;
    std::filesystem::path file_;
};

TEST_F(DbfScan, DeletedRecordsAreInvisibleAndEofFollowsTheLastRecord) {
    DbfTable table(file_);
    table.open();
    EXPECT_EQ(table.recordCount(), 5u);
    table.first();
    EXPECT_EQ(visitedDays(table), (std::vector<std::string>{"0", "1", "3", "4", "5"}));
    EXPECT_TRUE(table.eof());
    table.next();  // staying past the end
    EXPECT_TRUE(table.eof());
    table.first();
    EXPECT_FALSE(table.eof());
    EXPECT_EQ(table.currentRecordNumber(), 0u);
    table.next();
    table.next();
    table.next();
    EXPECT_EQ(table.currentRecordNumber(), 4u);  // physical number, past the deleted one
}

TEST_F(DbfScan, EmptyTableIsAtEofAtOnce) {
    auto empty = createTable(dir_ / "EMPTY.DBF", layoutOf(WorkTable::Soluc).fields);
    DbfTable table(empty);
    table.open();
    EXPECT_TRUE(table.eof());
    table.first();
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.recordCount(), 0u);
    EXPECT_NE(errorOf([&] { (void)table.text("PROF"); }).find(empty.string() + ": "),
              std::string::npos);
}

TEST_F(DbfScan, FilterPassesExactCaseSensitiveMatches) {
    struct Case {
        std::string filter;
        std::vector<std::string> days;
    };
    const std::vector<Case> cases = {
        {"PROF= 'O''NE'", {"0", "4"}}, {"PROF= 'o''ne'", {"1"}},
        {"PROF= 'ONE'", {"5"}},  // the deleted ONE stays invisible; "ONE " reads as "ONE"
        {"PROF= 'ONE '", {}},          {"PROF= 'TWO'", {"3"}},
        {"PROF= 'one'", {}},           {"PROF= ''", {}},
        {"DIA= '4'", {"4"}},  // numbers compare as they read back
    };
    DbfTable table(file_);
    table.open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        table.setFilterText(c.filter);
        table.filterOn();
        EXPECT_EQ(table.recordCount(), c.days.size());
        EXPECT_EQ(table.eof(), c.days.empty());  // filterOn moves to the first passing record
        EXPECT_EQ(visitedDays(table), c.days);
        table.filterOff();
        EXPECT_EQ(table.recordCount(), 5u);
        table.first();
        EXPECT_EQ(visitedDays(table), (std::vector<std::string>{"0", "1", "3", "4", "5"}));
    }
}

TEST_F(DbfScan, FilterStaysOnForPostedRecords) {
    DbfTable table(file_);
    table.open(OpenMode::Exclusive);
    table.setFilterText("PROF= 'TWO'");
    table.filterOn();
    EXPECT_EQ(table.recordCount(), 1u);
    table.append();
    table.setText("PROF", "TWO");
    table.setNumber("DIA", 9);
    table.post();
    table.append();
    table.setText("PROF", "THREE");
    table.post();
    EXPECT_EQ(table.recordCount(), 2u);
    table.first();
    EXPECT_EQ(visitedDays(table), (std::vector<std::string>{"3", "9"}));
}

TEST_F(DbfScan, MalformedFiltersAndUnknownFieldsAreErrorsNamingTheFile) {
    DbfTable table(file_);
    table.open();
    for (const char* text : {"PROF='X'", "PROF = 'X'", "PROF=  'X'", "PROF= 'X", "PROF= 'X'Y",
                             "PROF= 'O'NE'", "= 'X'", "PROF= X", "PROF= \"X\"", " PROF= 'X'"}) {
        SCOPED_TRACE(text);
        std::string message = errorOf([&] { table.setFilterText(text); });
        EXPECT_EQ(message.rfind(file_.string() + ": filtro no válido", 0), 0u) << message;
    }
    table.setFilterText("XYZ= 'A'");
    EXPECT_EQ(errorOf([&] { table.filterOn(); }),
              file_.string() + ": la tabla no tiene el campo «XYZ»");
    EXPECT_EQ(table.recordCount(), 5u);
}

// ---------------------------------------------------------------------------------------
// Share modes

TEST(DbfShare, TwoObjectsInOneProcessConflictLikeTwoPrograms) {
    struct Case {
        OpenMode holder;
        OpenMode opener;
        bool conflicts;
    };
    const std::vector<Case> cases = {
        {OpenMode::Exclusive, OpenMode::Exclusive, true},
        {OpenMode::Exclusive, OpenMode::Shared, true},
        {OpenMode::Shared, OpenMode::Exclusive, true},
        {OpenMode::Shared, OpenMode::Shared, false},
        // Readers keep writers out, and each other not.
        {OpenMode::ReadOnly, OpenMode::Exclusive, true},
        {OpenMode::Exclusive, OpenMode::ReadOnly, true},
        {OpenMode::ReadOnly, OpenMode::ReadOnly, false},
    };
    TempDir dir;
    auto file = createTable(dir / "PROFT.DBF", layoutOf(WorkTable::Proft).fields);
    for (const auto& c : cases) {
        DbfTable holder(file);
        holder.open(c.holder);
        DbfTable opener(file);
        std::string message = errorOf([&] { opener.open(c.opener); });
        if (c.conflicts) {
            EXPECT_EQ(message, file.string() + ": está en uso por otro programa");
            EXPECT_FALSE(opener.isOpen());
            holder.close();
            opener.open(c.opener);  // free again
        }
        EXPECT_EQ(message.empty(), !c.conflicts) << message;
        EXPECT_TRUE(opener.isOpen());
    }
}

// A table another user owns, on a read-only share or mount: reading needs read access alone.
TEST(DbfShare, ReadOnlyFilesOpenForReading) {
    TempDir dir;
    const auto folder = dir / "solo-lectura";
    std::filesystem::create_directory(folder);
    auto file = createTable(folder / "SOLUC.DBF", layoutOf(WorkTable::Soluc).fields);
    {
        DbfTable table(file);
        table.open();
        table.append();
        table.setText("PROF", "ANA");
        table.post();
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                    std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                    std::filesystem::perms::others_exec);
    const std::string answer = test::runWithoutPrivileges([&] {
        std::string seen;
        DbfTable reader(file);
        reader.open(OpenMode::ReadOnly);
        for (reader.first(); !reader.eof(); reader.next()) seen += reader.text("PROF") + ";";
        seen += errorOf([&] { reader.append(); }) + ";";
        reader.close();  // so that only the file's permissions stand in a writer's way
        // A user whom permissions do not bind (the superuser of wine's Windows) may write.
        if (std::ofstream(file, std::ios::binary | std::ios::app)) return seen + "may write";
        DbfTable writer(file);
        seen += errorOf([&] { writer.open(OpenMode::Exclusive); });
        return seen;
    });
    EXPECT_EQ(answer.substr(0, answer.find(';', answer.find(';') + 1) + 1),
              "ANA;" + file.string() + ": la tabla está abierta solo para lectura;");
    if (!answer.ends_with("may write")) {
        EXPECT_NE(answer.find(file.string() + ": no se puede abrir"), std::string::npos) << answer;
    }
}

TEST(DbfShare, CreateFailsWithoutTouchingATableInUse) {
    TempDir dir;
    auto file = createTable(dir / "AULAT.DBF", layoutOf(WorkTable::Aulat).fields);
    DbfTable holder(file);
    holder.open(OpenMode::Shared);
    holder.append();
    holder.setText("ABREV", "A1");
    holder.post();
    const std::string before = readFile(file);

    DbfTable creator(file);
    creator.defineFields(layoutOf(WorkTable::Aulat).fields);
    EXPECT_EQ(errorOf([&] { creator.create(); }),
              file.string() + ": está en uso por otro programa");
    EXPECT_EQ(readFile(file), before);
}

TEST(DbfShare, ExclusiveHolderInAnotherProcessBlocksOpening) {
    TempDir dir;
    auto file = createTable(dir / "GRUPOST.DBF", layoutOf(WorkTable::Grupost).fields);
    {
        test::HeldByAnotherProcess holder(file, "table-exclusive");
        ASSERT_TRUE(holder.holds());
        for (OpenMode mode : {OpenMode::Exclusive, OpenMode::Shared}) {
            DbfTable table(file);
            std::string message = errorOf([&] { table.open(mode); });
            EXPECT_EQ(message, test::utf8(file) + ": está en uso por otro programa");
        }
    }

    DbfTable table(file);
    table.open(OpenMode::Exclusive);
    EXPECT_TRUE(table.isOpen());
}

// ---------------------------------------------------------------------------------------
// Malformed files

TEST(DbfMalformed, DamagedFilesAreErrorsNamingTheFile) {
    TempDir dir;
    auto file = createTable(dir / "BASE.DBF",
                            {{"ABREV", FieldType::Text, 4}, {"N", FieldType::Integer, 0}});
    {
        DbfTable table(file);
        table.open();
        for (int i = 0; i < 2; ++i) {
            table.append();
            table.setText("ABREV", "X");
            table.post();
        }
    }
    const std::string valid = readFile(file);  // header 97 bytes, records 16 bytes
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"empty file", [](std::string& b) { b.clear(); }, "la cabecera está incompleta"},
        {"truncated header", [](std::string& b) { b.resize(20); }, "la cabecera está incompleta"},
        {"truncated descriptors", [](std::string& b) { b.resize(60); },
         "la longitud de la cabecera (97) no cabe en el archivo"},
        {"record count beyond the file", [](std::string& b) { putU32(b, 4, 500); },
         "el número de registros (500) no cabe en el archivo"},
        {"huge record count", [](std::string& b) { putU32(b, 4, 0xFFFFFFFF); },
         "el número de registros (4294967295) no cabe en el archivo"},
        {"header length outside", [](std::string& b) { putU16(b, 8, 5000); },
         "la longitud de la cabecera (5000) no cabe en el archivo"},
        {"header length smaller than descriptors", [](std::string& b) { putU16(b, 8, 70); },
         "falta el final de la lista de campos"},
        {"tiny header length", [](std::string& b) { putU16(b, 8, 10); },
         "la longitud de la cabecera (10) no deja sitio para los campos"},
        {"no terminator", [](std::string& b) { b[96] = ' '; },
         "falta el final de la lista de campos"},
        {"zero-width field", [](std::string& b) { b[32 + 16] = 0; },
         "el campo «ABREV» tiene ancho cero"},
        {"overlong field", [](std::string& b) { b[32 + 16] = static_cast<char>(200); },
         "la longitud de registro (16) no coincide con la de los campos (212)"},
        {"record length unlike the fields", [](std::string& b) { putU16(b, 10, 15); },
         "la longitud de registro (15) no coincide con la de los campos (16)"},
        {"zero record length", [](std::string& b) { putU16(b, 10, 0); },
         "la longitud de registro (0) no es válida"},
        {"integer field of width 3",
         [](std::string& b) {
             b[64 + 11] = 'I';
             b[64 + 16] = 3;
         },
         "el campo «N» de tipo I no tiene ancho 4"},
        {"not a table", [](std::string& b) { b[0] = '<'; }, "no es una tabla dBase"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = valid;
        c.damage(bytes);
        auto damaged = dir / "DAMAGED.DBF";
        writeFile(damaged, bytes);
        DbfTable table(damaged);
        std::string message = errorOf([&] { table.open(); });
        EXPECT_EQ(message.rfind(damaged.string() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.problem), std::string::npos) << message;
        EXPECT_FALSE(table.isOpen());
    }
}

TEST(DbfMalformed, MissingEndMarkerAndShortRecordCountAreTolerated) {
    TempDir dir;
    auto file = createTable(dir / "T.DBF", {{"ABREV", FieldType::Text, 4}});
    {
        DbfTable table(file);
        table.open();
        for (const char* value : {"A", "B", "C"}) {
            table.append();
            table.setText("ABREV", value);
            table.post();
        }
    }
    std::string bytes = readFile(file);
    bytes.pop_back();  // no 0x1A
    writeFile(file, bytes);
    {
        DbfTable table(file);
        table.open();
        EXPECT_EQ(scan(table, {"ABREV"}),
                  (std::vector<std::vector<std::string>>{{"A"}, {"B"}, {"C"}}));
    }
    putU32(bytes, 4, 2);  // the count wins over the data present
    writeFile(file, bytes);
    DbfTable table(file);
    table.open(OpenMode::Exclusive);
    EXPECT_EQ(scan(table, {"ABREV"}), (std::vector<std::vector<std::string>>{{"A"}, {"B"}}));
    table.append();  // appending goes after the counted records
    table.setText("ABREV", "D");
    table.post();
    table.close();
    table.open();
    EXPECT_EQ(scan(table, {"ABREV"}), (std::vector<std::vector<std::string>>{{"A"}, {"B"}, {"D"}}));
}

// ---------------------------------------------------------------------------------------
// Tables larger than what the engine keeps of them in memory (a few megabytes): records are
// read from the file as they are asked for, in blocks.

// The text of record i of the large table.
std::string largeText(std::size_t i) {
    std::string text = "REG";
    text += std::to_string(i);
    text += "-";
    text.append(i % 90, static_cast<char>('a' + i % 26));  // texts of many lengths
    return text;
}

// A table of 50,000 records of 114 bytes (5.6 MB), some deleted by another program at and
// around the places where the engine's blocks of 16 KB and stretches of 1 MB end.
class DbfLarge : public ::testing::Test {
protected:
    static constexpr std::size_t kCount = 50000;

    void SetUp() override {
        file_ = createTable(dir_ / "GRANDE.DBF", {{"TEXTO", FieldType::Text, 100},
                                                  {"N", FieldType::Integer, 0},
                                                  {"CLASE", FieldType::Text, 2}});
        {
            DbfTable table(file_);
            table.open();
            for (std::size_t i = 0; i < kCount; ++i) {
                table.append();
                table.setText("TEXTO", largeText(i));
                table.setNumber("N", static_cast<double>(i));
                table.setText("CLASE", std::to_string(i % 7));
                table.post();
            }
        }
        std::string bytes = readFile(file_);
        const std::size_t headerLength = u16At(bytes, 8);
        const std::size_t recordLength = u16At(bytes, 10);
        ASSERT_EQ(recordLength, 114u);
        ASSERT_GT(bytes.size(), 5u * 1024 * 1024);
        const std::size_t perBlock = 16 * 1024 / recordLength;
        const std::size_t perStretch = 1024 * 1024 / (perBlock * recordLength) * perBlock;
        deleted_ = {
            0,          perBlock - 1,          perBlock,           2 * perBlock, perStretch - 1,
            perStretch, perStretch + perBlock, 3 * perStretch + 1, kCount - 1};
        for (std::size_t record : deleted_) bytes[headerLength + record * recordLength] = '*';
        writeFile(file_, bytes);
    }

    bool isDeleted(std::size_t record) const {
        return std::find(deleted_.begin(), deleted_.end(), record) != deleted_.end();
    }

    TempDir dir_;
    std::filesystem::path file_;
    std::vector<std::size_t> deleted_;
};

TEST_F(DbfLarge, ScansCountsAndFiltersSeeEveryLiveRecord) {
    DbfTable table(file_);
    table.open(OpenMode::ReadOnly);
    EXPECT_EQ(table.recordCount(), kCount - deleted_.size());
    std::size_t expected = 0;
    for (table.first(); !table.eof(); table.next(), ++expected) {
        while (isDeleted(expected)) ++expected;
        ASSERT_EQ(table.currentRecordNumber(), expected);
        ASSERT_EQ(table.text("TEXTO"), largeText(expected));
        ASSERT_EQ(table.integer("N"), static_cast<std::int32_t>(expected));
    }
    EXPECT_EQ(expected, kCount - 1);  // the last record is deleted

    table.setFilterText("CLASE= '3'");
    table.filterOn();
    std::size_t passing = 0;
    for (std::size_t i = 0; i < kCount; ++i) {
        if (i % 7 == 3 && !isDeleted(i)) ++passing;
    }
    EXPECT_EQ(table.recordCount(), passing);
    std::size_t seen = 0;
    for (; !table.eof(); table.next(), ++seen) {
        const auto record = table.currentRecordNumber();
        ASSERT_EQ(record % 7, 3u);
        ASSERT_EQ(table.text("TEXTO"), largeText(record));
    }
    EXPECT_EQ(seen, passing);
}

TEST_F(DbfLarge, LookupsInAnyOrderReadTheRecordAskedFor) {
    DbfTable table(file_);
    table.open(OpenMode::ReadOnly);
    std::vector<std::size_t> order(kCount);
    for (std::size_t i = 0; i < kCount; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    // Single records in random order, then runs of neighbours from random starts, both ways.
    std::vector<std::size_t> visits(order.begin(), order.begin() + 20000);
    for (std::size_t k = 0; k < 200; ++k) {
        const std::size_t start = order[k] % (kCount - 300);
        for (std::size_t i = start; i < start + 300; ++i) visits.push_back(i);
        for (std::size_t i = start + 300; i-- > start;) visits.push_back(i);
    }
    for (std::size_t record : visits) {
        if (isDeleted(record)) {
            ASSERT_NE(errorOf([&] {
                          table.goTo(record);
                      }).find("no hay registro " + std::to_string(record + 1)),
                      std::string::npos);
            continue;
        }
        table.goTo(record);
        ASSERT_EQ(table.text("TEXTO"), largeText(record)) << "record " << record;
        ASSERT_EQ(table.integer("N"), static_cast<std::int32_t>(record));
    }
}

// Appending to a large table open for writing, and reading back between appends: what was
// appended reads back, before and after reopening.
TEST_F(DbfLarge, RecordsAppendedToALargeTableReadBack) {
    {
        DbfTable table(file_);
        table.open(OpenMode::Exclusive);
        for (std::size_t i = kCount; i < kCount + 500; ++i) {
            table.append();
            table.setText("TEXTO", largeText(i));
            table.setNumber("N", static_cast<double>(i));
            table.post();
            ASSERT_EQ(table.text("TEXTO"), largeText(i));
            const std::size_t earlier = (i * 7919) % i;
            if (!isDeleted(earlier)) {
                table.goTo(earlier);
                ASSERT_EQ(table.text("TEXTO"), largeText(earlier));
            }
        }
        EXPECT_EQ(table.recordCount(), kCount + 500 - deleted_.size());
    }
    DbfTable table(file_);
    table.open(OpenMode::ReadOnly);
    for (std::size_t i = kCount - 10; i < kCount + 500; ++i) {
        if (isDeleted(i)) continue;
        table.goTo(i);
        ASSERT_EQ(table.text("TEXTO"), largeText(i));
    }
}

}  // namespace
}  // namespace thq::data
