// Tables written by other programs: texts in the code page their header names, numbers in
// binary fields, memos in their memo files, types the engine cannot read and dBase 7 refused
// by name. The foreign tables are written by Debian's python3-dbf, or byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::readFile;
using test::runPython;
using test::TempDir;
using test::writeFile;

// Writes a table with python3-dbf: `fields` as dbf.Table takes them, the rows as Python literals.
void writeWithPython(const fs::path& file, const std::string& fields, const std::string& rows,
                     const std::string& type, const std::string& codec) {
    const std::string code =
        "import datetime, sys, dbf\n"
        "t = dbf.Table(sys.argv[1], '" +
        fields + "', dbf_type='" + type + "', codepage='" + codec +
        "')\n"
        "t.open(dbf.READ_WRITE)\n"
        "for row in " +
        rows +
        ":\n"
        "    t.append(row)\n"
        "t.close()\n";
    const auto result = runPython(code, {file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

// What python3-dbfread reads from a table, one line per record, in the table's code page.
std::string readWithPython(const fs::path& file) {
    const auto result = runPython(R"(
import sys, dbfread
for record in dbfread.DBF(sys.argv[1]):
    print('|'.join(str(v) for v in record.values()))
)",
                                  {file.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

void patchByte(const fs::path& file, std::size_t at, unsigned char value) {
    std::string bytes = readFile(file);
    bytes.at(at) = static_cast<char>(value);
    writeFile(file, bytes);
}

std::vector<std::string> column(DbfTable& table, const std::string& field, bool utf8 = false) {
    std::vector<std::string> out;
    for (table.first(); !table.eof(); table.next()) {
        out.push_back(utf8 ? table.textUtf8(field) : table.text(field));
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Code pages

TEST(DbfCodePage, TextsReadInTheCodePageTheHeaderNames) {
    TH_REQUIRE_PYTHON_READERS();
    struct Case {
        const char* codec;    // python3-dbf's name of the code page it writes
        unsigned driver;      // a language driver of that code page, put into byte 29
        std::string written;  // the text, as UTF-8
        std::string read;     // what text() gives: Windows-1252, '?' for what it lacks
        std::string shown;    // what textUtf8() gives: the text exactly, but where a
                              // double-byte page's character is one Windows-1252 lacks
    };
    const std::vector<Case> cases = {
        {"cp437", 0x01, "NUÑEZ Ü",
         "NU\xD1"
         "EZ \xDC",
         "NUÑEZ Ü"},
        {"cp850", 0x02, "INFÓ Muñoz", "INF\xD3 Mu\xF1oz", "INFÓ Muñoz"},
        {"cp852", 0x64, "Łódź Šárka",
         "?\xF3"
         "d? \x8A\xE1rka",
         "Łódź Šárka"},
        {"cp866", 0x65, "Жук 1", "??? 1", "Жук 1"},
        {"cp1250", 0xC8, "Šárka Łukasz", "\x8A\xE1rka ?ukasz", "Šárka Łukasz"},
        {"cp1251", 0xC9, "Пётр €", "???? \x80", "Пётр €"},
        {"cp1252", 0x03, "Peña € ‰",
         "Pe\xF1"
         "a \x80 \x89",
         "Peña € ‰"},
        {"mac_roman", 0x04, "Ñandú ¿",
         "\xD1"
         "and\xFA \xBF",
         "Ñandú ¿"},
        {"cp932", 0x7B, "日本 §±", "?? \xA7\xB1", "\uFFFD\uFFFD §±"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        TempDir dir;
        const fs::path file = dir / "T.DBF";
        const std::string literal = "[('" + c.written + "',)]";
        writeWithPython(file, "NAME C(20)", literal, "db3", c.codec);
        patchByte(file, 29, static_cast<unsigned char>(c.driver));

        DbfTable table(file);
        table.open();
        std::vector<LossyText> lossy;
        table.setLossyTextListener([&](const LossyText& l) { lossy.push_back(l); });
        EXPECT_EQ(column(table, "NAME"), std::vector<std::string>{c.read});
        const bool lost = c.read.find('?') != std::string::npos;
        ASSERT_EQ(lossy.size(), lost ? 1u : 0u);
        if (lost) {
            EXPECT_EQ(lossy[0].recordNumber, 0u);
            EXPECT_EQ(lossy[0].field, "NAME");
            EXPECT_EQ(lossy[0].read, c.read);
            EXPECT_EQ(lossy[0].original, c.shown);
        }
        EXPECT_EQ(column(table, "NAME", true), std::vector<std::string>{c.shown});
    }
}

TEST(DbfCodePage, NoDriverAndUnknownDriversAreWindows1252AndTwoAreRefused) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "T.DBF";
    writeWithPython(file, "NAME C(10)", "[('Peña €',)]", "db3", "cp1252");
    for (unsigned driver : {0x00u, 0x57u, 0xF0u}) {
        SCOPED_TRACE(driver);
        patchByte(file, 29, static_cast<unsigned char>(driver));
        DbfTable table(file);
        table.open();
        EXPECT_EQ(table.codePage(), 1252);
        EXPECT_EQ(column(table, "NAME"), std::vector<std::string>{"Pe\xF1"
                                                                  "a \x80"});
    }
    // Kamenický and Mazovia: no conversion here, so the letters would come out wrong.
    for (const auto& [driver, name] : std::vector<std::pair<unsigned, std::string>>{
             {0x68, "895 (Kamenický)"}, {0x69, "620 (Mazovia)"}}) {
        patchByte(file, 29, static_cast<unsigned char>(driver));
        DbfTable table(file);
        EXPECT_EQ(errorOf([&] { table.open(); }), file.string() +
                                                      ": la tabla está en la página de códigos " +
                                                      name + ", que no se admite");
    }
}

TEST(DbfCodePage, FiltersCompareTheConvertedTextsAndWritesUseTheTablesPage) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "SOLUC.DBF";
    writeWithPython(file, "PROF C(4); DIA N(2,0)", "[('NUÑE', 1), ('NUNE', 2), ('MUÑO', 3)]", "db3",
                    "cp850");
    {
        DbfTable table(file);
        table.open(OpenMode::Exclusive);
        table.filterOff();
        table.setFilterText(
            "PROF= 'NU\xD1"
            "E'");
        table.filterOn();
        EXPECT_EQ(column(table, "DIA"), std::vector<std::string>{"1"});
        // Appended in cp850 as well; a character cp850 lacks (the euro) is stored as '?'.
        table.filterOff();
        table.append();
        table.setText("PROF", "\xD1\x80\xF3");
        table.setNumber("DIA", 4);
        table.post();
        table.close();
    }
    EXPECT_EQ(readWithPython(file), "NUÑE|1\nNUNE|2\nMUÑO|3\nÑ?ó|4\n");
}

// ---------------------------------------------------------------------------------------
// Field types and memos

TEST(DbfTypes, VisualFoxProNumbersAndMemosReadAsTheirValues) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "VFP.DBF";
    writeWithPython(file, "NAME C(6); D B; Y Y; I I; N N(6,2); F F(8,3); M M",
                    "[('uno', 2.5, 12.25, 7, 1.5, 3.25, 'memo ñ'), "
                    "('dos', -1e20, -0.0001, -3, None, None, ''), "
                    "('tres', 3.0, 100, 0, -60, 0.125, 'x' * 300)]",
                    "vfp", "cp1252");
    DbfTable table(file);
    table.open();
    EXPECT_EQ(column(table, "D"), (std::vector<std::string>{"2.5", "-100000000000000000000", "3"}));
    EXPECT_EQ(column(table, "Y"), (std::vector<std::string>{"12.25", "-0.0001", "100"}));
    EXPECT_EQ(column(table, "I"), (std::vector<std::string>{"7", "-3", "0"}));
    EXPECT_EQ(column(table, "N"), (std::vector<std::string>{"1.5", "", "-60"}));
    EXPECT_EQ(column(table, "F"), (std::vector<std::string>{"3.25", "", "0.125"}));
    EXPECT_EQ(column(table, "M"),
              (std::vector<std::string>{"memo \xF1", "", std::string(300, 'x')}));
    EXPECT_EQ(column(table, "M", true),
              (std::vector<std::string>{"memo ñ", "", std::string(300, 'x')}));
    // The binary numbers as integers, rounded half to even (the double -1e20 does not fit one).
    std::vector<std::int32_t> integers;
    for (table.first(); !table.eof(); table.next()) {
        for (const char* field : {"D", "Y", "I", "F"}) {
            if (std::string(field) != "D" || table.text("D").size() < 10)
                integers.push_back(table.integer(field));
        }
    }
    EXPECT_EQ(integers, (std::vector<std::int32_t>{2, 12, 7, 3, 0, -3, 0, 3, 100, 0, 0}));
}

TEST(DbfTypes, DbaseMemosInTheTablesCodePage) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "notas.dbf";  // lower-case names, as some programs write them
    writeWithPython(file, "NAME C(6); NOTA M", "[('a', 'Peña ' * 200), ('b', ''), ('c', 'corto')]",
                    "db3", "cp850");
    ASSERT_TRUE(fs::exists(dir / "notas.dbt"));
    DbfTable table(file);
    table.open();
    std::string expected;
    for (int i = 0; i < 200; ++i)
        expected +=
            "Pe\xF1"
            "a ";
    EXPECT_EQ(column(table, "NOTA"), (std::vector<std::string>{expected, "", "corto"}));

    // A memo file whose block is not there, and a missing memo file, are named.
    table.close();
    std::string memo = readFile(dir / "notas.dbt");
    writeFile(dir / "notas.dbt", memo.substr(0, 600));
    table.open();
    table.first();
    table.next();
    table.next();
    const std::string message = errorOf([&] { table.text("NOTA"); });
    EXPECT_EQ(
        message.rfind((dir / "notas.dbt").string() + ": archivo de memos dañado: el bloque ", 0),
        0u)
        << message;
    EXPECT_NE(message.find("del campo «NOTA» no está en el archivo"), std::string::npos);
    table.close();
    fs::remove(dir / "notas.dbt");
    table.open();
    table.first();
    EXPECT_EQ(errorOf([&] { table.text("NOTA"); }),
              file.string() + ": falta el archivo de memos notas.dbt");
}

TEST(DbfTypes, Dbase4MemoBlocksCarryTheirLength) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "D4.DBF";
    writeWithPython(file, "NAME C(6); NOTA M", "[('a', 'x'), ('b', 'y')]", "db3", "cp1252");
    patchByte(file, 0, 0x8B);
    // Blocks of 64 bytes (the size at offset 20); a block starts FF FF 08 00 and the length of
    // the memo with those eight bytes. The second memo has an end mark inside its text.
    std::string memo(64 * 3, '\0');
    memo[20] = 64;
    const std::string first = "hola\x1A dBase IV";
    const std::string second(70, 'z');
    memo.replace(64, 8, std::string("\xFF\xFF\x08\x00", 4) + static_cast<char>(8 + first.size()));
    memo.replace(72, first.size(), first);
    memo.replace(128, 8, std::string("\xFF\xFF\x08\x00", 4) + static_cast<char>(8 + second.size()));
    memo.replace(136, second.size(), second);
    writeFile(dir / "D4.DBT", memo.substr(0, 136 + second.size()));
    std::string bytes = readFile(file);
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    const std::size_t records = u16(8);
    const std::size_t length = u16(10);
    bytes.replace(records + 1 + 6, 10, "         1");
    bytes.replace(records + length + 1 + 6, 10, "         2");
    writeFile(file, bytes);

    DbfTable table(file);
    table.open();
    EXPECT_EQ(column(table, "NOTA"), (std::vector<std::string>{first, second}));
}

TEST(DbfTypes, TypesThatCannotBeReadAreNamedWithTheTableAndField) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "VFP.DBF";
    writeWithPython(file, "NAME C(6); T T; G G; NUM N(4,0) NULL",
                    "[('a', datetime.datetime(2024, 1, 2, 3, 4, 5), b'ole', 1)]", "vfp", "cp1252");
    DbfTable table(file);
    table.open();
    table.first();
    EXPECT_EQ(table.text("NAME"), "a");
    struct Case {
        const char* field;
        const char* problem;
    };
    for (const Case& c : {Case{"T", "es de tipo T (fecha y hora), que no se puede leer"},
                          Case{"G", "es de tipo G (objeto OLE), que no se puede leer"}}) {
        const std::string expected = file.string() + ": el campo «" + c.field + "» " + c.problem;
        EXPECT_EQ(errorOf([&] { table.text(c.field); }), expected);
        EXPECT_EQ(errorOf([&] { table.integer(c.field); }), expected);
        EXPECT_EQ(errorOf([&] { table.requireReadable(c.field); }), expected);
    }
    // Visual FoxPro's own bookkeeping field is marked as such.
    bool nullFlags = false;
    for (const auto& field : table.fields()) {
        if (field.type == '0') nullFlags = field.system;
    }
    EXPECT_TRUE(nullFlags);
}

TEST(DbfTypes, Dbase7IsRefusedByName) {
    TH_REQUIRE_PYTHON_READERS();
    TempDir dir;
    const fs::path file = dir / "D7.DBF";
    writeWithPython(file, "NAME C(6)", "[('a',)]", "db3", "cp1252");
    for (unsigned char version : {0x04, 0x8C}) {
        patchByte(file, 0, version);
        DbfTable table(file);
        const std::string message = errorOf([&] { table.open(); });
        EXPECT_EQ(message.rfind(file.string() + ": dBase 7 no admitido", 0), 0u) << message;
    }
}

}  // namespace
}  // namespace thq::data
