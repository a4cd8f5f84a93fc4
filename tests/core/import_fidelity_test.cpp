// The import as other programs' tables reach it: tables in another code page give the result
// the same tables in Windows-1252 give, characters Windows-1252 lacks are reported where they
// were read, and of a SOLUC record the import skips nothing but the day is read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/import_fixture.hpp"
#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/findings.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;

// Writes a table again through python3-dbf, same fields and records, in another code page.
void rewriteInCodePage(const fs::path& file, const std::string& codec) {
    const auto result = runPython(R"(
import os, sys, dbf, dbfread
path, codec = sys.argv[1], sys.argv[2]
table = dbfread.DBF(path, encoding='cp1252', char_decode_errors='strict')
definitions = []
for f in table.fields:
    if f.type == 'N':
        definitions.append('%s N(%d,%d)' % (f.name, f.length, f.decimal_count))
    elif f.type == 'L':
        definitions.append('%s L' % f.name)
    else:
        definitions.append('%s C(%d)' % (f.name, f.length))
records = [tuple(r[f.name] for f in table.fields) for r in table]
os.remove(path)
out = dbf.Table(path, '; '.join(definitions), dbf_type='db3', codepage=codec)
out.open(dbf.READ_WRITE)
for record in records:
    out.append(record)
out.close()
)",
                                  {file.string(), codec});
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

// Puts raw bytes into a field of a record, as another program might have left them: right
// aligned, blanks before them.
void putRaw(const fs::path& file, std::size_t record, const std::string& field,
            const std::string& text) {
    std::string table = readFile(file);
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(table[at]) |
                                        static_cast<unsigned char>(table[at + 1]) << 8);
    };
    std::size_t offset = 1;
    for (std::size_t at = 32; table[at] != 0x0D; at += 32) {
        const std::size_t width = static_cast<unsigned char>(table[at + 16]);
        if (std::string(table.c_str() + at) == field) {
            const std::string bytes = std::string(width - text.size(), ' ') + text;
            table.replace(u16(8) + record * u16(10) + offset, width, bytes);
            writeFile(file, table);
            return;
        }
        offset += width;
    }
    throw std::runtime_error("no field " + field);
}

class ImportFidelity : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(work_);
        fs::create_directories(docs_);
    }

    std::string importedBytes(Findings* report = nullptr) {
        const auto outcome = importer::runImport(document_, work_, report);
        EXPECT_EQ(outcome.outcome, importer::ImportOutcome::Completed);
        return readFile(outcome.resultPath);
    }

    TempDir dir_;
    fs::path work_ = dir_ / "HTEMP";
    fs::path docs_ = dir_ / "quelva";
    fs::path document_ = docs_ / "sierra.xml";
};

// The sample school has teachers NUÑE and MUÑO: with SOLUC (and the other tables the
// timetable program might save again) in a DOS code page, every lesson still finds its
// teacher, room and group, and the result is the one the Windows-1252 tables give.
TEST_F(ImportFidelity, TablesInDosCodePagesGiveTheSameResult) {
    writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    ASSERT_EQ(exporter::runExport(document_, work_), exporter::ExportOutcome::Completed);
    const auto solution = demo::writeDemoSolution(work_);
    Findings expectedReport;
    const std::string expected = importedBytes(&expectedReport);
    ASSERT_EQ(importer::runImport(document_, work_).lessons, solution.lessons);

    const auto original = snapshotFolder(work_);
    struct Case {
        const char* codec;
        std::vector<WorkTable> tables;
    };
    // Code page 437 has no capital Á, Í, Ó or Ú, which the names and rooms of the school use:
    // only SOLUC, whose codes it can hold, is written in it.
    const std::vector<Case> cases = {
        {"cp850",
         {WorkTable::Soluc, WorkTable::Proft, WorkTable::Aulat, WorkTable::Grupost,
          WorkTable::Asigt}},
        {"cp437", {WorkTable::Soluc}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        for (const auto& [name, bytes] : original) writeFile(work_ / name, bytes);
        for (const auto table : c.tables) rewriteInCodePage(data::tableFile(work_, table), c.codec);
        Findings report;
        EXPECT_EQ(importedBytes(&report), expected);
        EXPECT_EQ(report.list().size(), expectedReport.list().size());
    }
}

TEST_F(ImportFidelity, CharactersWindows1252LacksAreReportedWhereTheyWereRead) {
    TH_REQUIRE_PYTHON_READERS();
    writeFile(document_, "<SERVICIO><SALIDAS/></SERVICIO>");
    WorkTables tables;
    tables.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "1"}}};
    tables.aulat = {{{"ABREV", "A1"}, {"DEPCENTRO", "AULA-1"}}};
    tables.grupost = {{{"ABREV", "G1"}, {"CLAVE", "U1"}}};
    tables.asignomt = {{{"COD", "DOC"}, {"CODTAREA", "156"}}};
    tables.asigt = {{{"CASIG", "MAT"}, {"CGRUP", "G1"}, {"CLAVE", "M1"}}};
    tables.diashorast = {{{"DIHO", "11"}, {"DIA", "1"}, {"CODDIHO", "T1"}}};
    tables.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "1", "1")};
    writeWorkTables(work_, tables);
    // AULAT as a program working in Cyrillic saves it: DEPCENTRO of room A1 is "Ауд-1".
    const auto written = runPython(R"(
import os, sys, dbf, dbfread
path = sys.argv[1]
fields = dbfread.DBF(path).fields
os.remove(path)
definition = '; '.join('%s C(%d)' % (f.name, f.length) if f.type == 'C' else
                 '%s N(%d,%d)' % (f.name, f.length, f.decimal_count) for f in fields)
out = dbf.Table(path, definition, dbf_type='db3', codepage='cp1251')
out.open(dbf.READ_WRITE)
values = {'ABREV': 'A1', 'DEPCENTRO': 'Ауд-1'}
out.append(tuple(values.get(f.name, '' if f.type == 'C' else None) for f in fields))
out.close()
)",
                                   {data::tableFile(work_, WorkTable::Aulat).string()});
    ASSERT_EQ(written.exitCode, 0) << written.err;

    Findings report;
    importer::runImport(document_, work_, &report);
    const auto result = data::XmlDocument::load(importer::resultPathFor(document_));
    EXPECT_EQ(result.selectNodes("//salida[@dato='X_DEPCENTRO']").at(0).text(),
              "???"
              "-1");
    std::vector<std::string> lines;
    for (const auto& finding : report.list()) lines.push_back(formatLine(finding));
    EXPECT_EQ(lines, std::vector<std::string>{
                         "AVISO AULAT registro 1: el campo DEPCENTRO 'Ауд-1' tiene caracteres que "
                         "Windows-1252 no tiene y se lee como '???"
                         "-1'"});
}

// Tables another user owns, or on a read-only share: the import needs to read them only.
TEST_F(ImportFidelity, ReadOnlyTablesAreRead) {
    writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    ASSERT_EQ(exporter::runExport(document_, work_), exporter::ExportOutcome::Completed);
    demo::writeDemoSolution(work_);
    const std::string expected = importedBytes();
    fs::remove(importer::resultPathFor(document_));

    using fs::perms;
    for (const auto& entry : fs::directory_iterator(work_)) {
        fs::permissions(entry.path(), perms::owner_read | perms::group_read | perms::others_read);
    }
    fs::permissions(work_, perms::owner_read | perms::owner_exec | perms::group_read |
                               perms::group_exec | perms::others_read | perms::others_exec);
    fs::permissions(docs_, perms::all);
    const auto tables = snapshotFolder(work_);
    const std::string outcome = runWithoutPrivileges(
        [&] { return std::to_string(importer::runImport(document_, work_).lessons); });
    EXPECT_EQ(outcome.rfind("error", 0), std::string::npos) << outcome;
    EXPECT_EQ(readFile(importer::resultPathFor(document_)), expected);
    EXPECT_EQ(snapshotFolder(work_), tables);
    fs::permissions(work_, perms::owner_all);
}

// A record without a day is skipped on its day alone, whatever its other fields hold: the
// overflow filler dBase writes into a number too wide for its field, or no number at all.
TEST_F(ImportFidelity, OfARecordItSkipsTheImportReadsOnlyTheDay) {
    writeFile(document_, "<SERVICIO><SALIDAS/></SERVICIO>");
    WorkTables tables;
    tables.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "1"}}};
    tables.soluc = {lesson("ANA", "MAT", "G1", "A1", "DOC", "0", "1"),
                    lesson("ZZZZ", "MAT", "G1", "A1", "DOC", "0", "1"),
                    lesson("ZZZZ", "MAT", "G1", "A1", "DOC", "1", "1"),
                    lesson("YYYY", "MAT", "G1", "A1", "DOC", "1", "1")};
    writeWorkTables(work_, tables);
    const fs::path soluc = data::tableFile(work_, WorkTable::Soluc);
    for (std::size_t record : {0u, 1u, 2u}) putRaw(soluc, record, "HORA", "**********");
    putRaw(soluc, 3, "DIA", "**********");

    Findings report;
    const auto outcome = importer::runImport(document_, work_, &report);
    EXPECT_EQ(outcome.lessons, 0u);
    std::vector<std::string> lines;
    for (const auto& finding : report.list()) lines.push_back(formatLine(finding));
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "AVISO PROFT registro 1: el profesor 'ANA' no tiene lecciones",
            "AVISO SOLUC registro 3: el profesor 'ZZZZ' no está en PROFT: la lección no "
            "aparece en el resultado",
            "AVISO SOLUC registro 4: el profesor 'YYYY' no está en PROFT: la lección no "
            "aparece en el resultado (su DIA no es un número: " +
                soluc.string() + ": el campo «DIA» no tiene un número válido: '**********')"}));

    // A lesson that is written reads its hour, and a filler there is an error saying where.
    putRaw(soluc, 0, "DIA", "1");
    try {
        importer::runImport(document_, work_);
        ADD_FAILURE() << "the run did not fail";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  soluc.string() + ": el campo «HORA» no tiene un número válido: '**********'");
        EXPECT_EQ(error.detail(), "lección del registro 1 de SOLUC");
    }
}


// The timetable program may save a table with its fields in another order and with fields
// of its own beside ours: every field is read where the file holds it, so the result and the
// report are those of the tables as the export wrote them.
TEST_F(ImportFidelity, TablesWithTheirFieldsInAnotherOrderGiveTheSameResult) {
    writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    ASSERT_EQ(exporter::runExport(document_, work_), exporter::ExportOutcome::Completed);
    demo::writeDemoSolution(work_);
    Findings expectedReport;
    const std::string expected = importedBytes(&expectedReport);

    for (const auto which : {WorkTable::Soluc, WorkTable::Grupost, WorkTable::Asignomt2}) {
        const auto file = data::tableFile(work_, which);
        std::vector<std::vector<std::string>> records;
        std::vector<data::FieldSpec> fields = data::layoutOf(which).fields;
        {
            data::DbfTable original(file);
            original.open(data::OpenMode::ReadOnly);
            for (original.first(); !original.eof(); original.next()) {
                auto& values = records.emplace_back();
                for (const auto& field : fields) values.push_back(original.text(field.name));
            }
        }
        std::vector<data::FieldSpec> reordered(fields.rbegin(), fields.rend());
        reordered.insert(reordered.begin(), {"OBSERVA", data::FieldType::Text, 12});
        data::DbfTable rewritten(file);
        rewritten.defineFields(reordered);
        rewritten.create();
        rewritten.open(data::OpenMode::Exclusive);
        for (const auto& values : records) {
            rewritten.append();
            rewritten.setText("OBSERVA", "otra cosa");
            for (std::size_t i = 0; i < fields.size(); ++i)
                rewritten.setText(fields[i].name, values[i]);
            rewritten.post();
        }
        rewritten.close();
    }
    Findings report;
    EXPECT_EQ(importedBytes(&report), expected);
    EXPECT_EQ(report.list().size(), expectedReport.list().size());
}

}  // namespace
}  // namespace thq::test
