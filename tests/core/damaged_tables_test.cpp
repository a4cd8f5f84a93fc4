// Damaged tables: a solution or work table cut short, with a record count or a header length
// that the file cannot hold, with a field of no width or of a width the records do not have,
// or without a field the import reads. The import ends with an error naming the file and the
// problem, leaves the earlier result as it was and every table free; it never reads outside a
// file (the sanitizers of the test build would stop it).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/table_layouts.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;

std::uint32_t u32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}
std::uint16_t u16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}
void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}
void put16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

std::uint32_t recordCount(const std::string& t) { return u32(t, 4); }
std::uint16_t headerLength(const std::string& t) { return u16(t, 8); }
std::uint16_t recordLength(const std::string& t) { return u16(t, 10); }

// The offset of the descriptor of a field, by name.
std::size_t descriptorOf(const std::string& table, const std::string& field) {
    for (std::size_t at = 32; at + 32 <= headerLength(table) && table[at] != 0x0D; at += 32) {
        if (std::string(table.c_str() + at) == field) return at;
    }
    throw std::runtime_error("no field " + field);
}

struct Damage {
    const char* what;
    // Damages the table's bytes; `field` is a field the import reads from that table.
    std::function<void(std::string& table, const std::string& field)> apply;
    const char* problem;  // what the message says
};

const std::vector<Damage>& damages() {
    static const std::vector<Damage> list = {
        {"cut in the middle of the records",
         [](std::string& t, const std::string&) {
             t.resize(headerLength(t) + recordLength(t) * recordCount(t) / 2);
         },
         "no cabe en el archivo"},
        {"cut in the field descriptors", [](std::string& t, const std::string&) { t.resize(40); },
         "no cabe en el archivo"},
        {"cut in the first 32 bytes", [](std::string& t, const std::string&) { t.resize(20); },
         "la cabecera está incompleta"},
        {"empty file", [](std::string& t, const std::string&) { t.clear(); },
         "la cabecera está incompleta"},
        {"record count beyond the file",
         [](std::string& t, const std::string&) { put32(t, 4, recordCount(t) + 1); },
         "el número de registros"},
        {"record count 2^32-1",
         [](std::string& t, const std::string&) { put32(t, 4, 0xFFFFFFFFu); },
         "el número de registros (4294967295) no cabe"},
        {"header length past the end of the file",
         [](std::string& t, const std::string&) {
             put16(t, 8, static_cast<std::uint16_t>(std::min<std::size_t>(t.size() + 1, 0xFFFF)));
         },
         "la longitud de la cabecera"},
        {"header length 65535", [](std::string& t, const std::string&) { put16(t, 8, 0xFFFF); },
         "la longitud de la cabecera (65535) no cabe"},
        {"header length shorter than one field",
         [](std::string& t, const std::string&) { put16(t, 8, 40); },
         "no deja sitio para los campos"},
        {"header length into the records",
         [](std::string& t, const std::string&) {
             put16(t, 8, static_cast<std::uint16_t>(headerLength(t) + 64));
         },
         "archivo dañado"},
        {"no end of the field list",
         [](std::string& t, const std::string&) { t[headerLength(t) - 1] = 'X'; },
         "archivo dañado"},
        {"field of width zero",
         [](std::string& t, const std::string& field) { t[descriptorOf(t, field) + 16] = 0; },
         "tiene ancho cero"},
        {"field wider than the records",
         [](std::string& t, const std::string& field) {
             t[descriptorOf(t, field) + 16] = static_cast<char>(255);
         },
         "no coincide con la de los campos"},
        {"field and record widened together past the file",
         [](std::string& t, const std::string& field) {
             const std::size_t at = descriptorOf(t, field);
             const int grow = 255 - static_cast<std::uint8_t>(t[at + 16]);
             t[at + 16] = static_cast<char>(255);
             put16(t, 10, static_cast<std::uint16_t>(recordLength(t) + grow));
         },
         "no cabe en el archivo"},
        {"record length zero", [](std::string& t, const std::string&) { put16(t, 10, 0); },
         "la longitud de registro (0) no es válida"},
        {"a field the import reads is missing",
         [](std::string& t, const std::string& field) {
             const std::size_t at = descriptorOf(t, field);
             std::fill(t.begin() + static_cast<std::ptrdiff_t>(at),
                       t.begin() + static_cast<std::ptrdiff_t>(at + 11), '\0');
             t.replace(at, 4, "ZZZZ");
         },
         "no tiene el campo"},
        {"not a dBase file", [](std::string& t, const std::string&) { t[0] = 0x7F; },
         "no es una tabla dBase"},
    };
    return list;
}

class DamagedTables : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(work_);
        fs::create_directory(docs_);
        writeFile(document_, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
        exporter::runExport(document_, work_);
        demo::writeDemoSolution(work_);
        writeFile(result_, "earlier result");
    }

    TempDir dir_;
    fs::path work_ = dir_ / "HTEMP";
    fs::path docs_ = dir_ / "quelva";
    fs::path document_ = docs_ / "sierra.xml";
    fs::path result_ = importer::resultPathFor(document_);
};

TEST_F(DamagedTables, TheImportNamesTheFileAndTheProblem) {
    struct Target {
        WorkTable table;
        const char* field;  // one that the import reads
    };
    const Target targets[] = {{WorkTable::Soluc, "PROF"},
                              {WorkTable::Proft, "X_EMPLEADO"},
                              {WorkTable::Grupost, "ABREV"},
                              {WorkTable::Asigt, "CASIG"},
                              {WorkTable::Diashorast, "DIHO"}};
    for (const auto& target : targets) {
        const fs::path file = data::tableFile(work_, target.table);
        const std::string intact = readFile(file);
        ASSERT_GT(recordCount(intact), 1u) << file << " needs records for every damage";
        for (const auto& damage : damages()) {
            SCOPED_TRACE(file.filename().string() + ", " + damage.what);
            std::string damaged = intact;
            damage.apply(damaged, target.field);
            ASSERT_NE(damaged, intact);
            writeFile(file, damaged);
            const auto tables = snapshotFolder(work_);
            std::string message = "(no error)";
            try {
                importer::runImport(document_, work_);
            } catch (const Error& e) {
                message = e.what();
            }
            EXPECT_EQ(message.rfind(file.string() + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(damage.problem), std::string::npos) << message;
            EXPECT_EQ(readFile(result_), "earlier result");
            EXPECT_EQ(snapshotFolder(work_), tables);
            for (const auto& entry : fs::directory_iterator(docs_)) {
                EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
            }
        }
        writeFile(file, intact);
    }
    EXPECT_EQ(importer::runImport(document_, work_).outcome, importer::ImportOutcome::Completed);
}

}  // namespace
}  // namespace thq::test
