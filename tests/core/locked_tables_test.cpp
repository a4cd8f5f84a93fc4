// Tables held by another process: while a child process holds a work table, in any of the
// ways a program can, an export or an import ends with an error that names the table and says
// it is in use, and changes nothing. The import only reads: another reader does not stop it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/table_layouts.hpp"
#include "demo_soluc/demo_solution.hpp"
#include "export/export_run.hpp"
#include "export_fixture.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;

TEST(LockedTables, AnExportStopsAtATableAnotherProcessHolds) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    const fs::path document = dir / "school.xml";
    fs::create_directory(work);
    writeFile(document, schoolXml({{"PROFESORES", {{"1", "a", "Uno", "UNO"}}}}));
    exporter::runExport(document, work);
    writeFile(work / "PROFT.MDX", "index");
    const auto before = snapshotFolder(work);
    writeFile(document, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));

    for (const auto table : {WorkTable::Asignomt, WorkTable::Proft, WorkTable::Grupost,
                             WorkTable::Asigt, WorkTable::Diashorast}) {
        const fs::path file = data::tableFile(work, table);
        for (const std::string& hold : holdsOfThisPlatform()) {
            SCOPED_TRACE(utf8(file.filename()) + " held by " + hold);
            std::string message;
            {
                HeldByAnotherProcess holder(file, hold);
                ASSERT_TRUE(holder.holds());
                message = errorOf([&] { exporter::runExport(document, work); });
            }
            EXPECT_NE(message.find(utf8(file) + ": está en uso"), std::string::npos) << message;
            EXPECT_EQ(snapshotFolder(work), before);
        }
    }
    // Once let go, the tables are free for the export.
    EXPECT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
    EXPECT_NE(snapshotFolder(work), before);
}

TEST(LockedTables, AnImportStopsAtATableAnotherProcessWritesAndReadsBesideReaders) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    const fs::path docs = dir / "quelva";
    const fs::path document = docs / "sierra.xml";
    const fs::path result = importer::resultPathFor(document);
    fs::create_directory(work);
    fs::create_directory(docs);
    writeFile(document, readFile(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml"));
    exporter::runExport(document, work);
    demo::writeDemoSolution(work);
    writeFile(result, "earlier result");
    const auto tables = snapshotFolder(work);
    const auto documents = snapshotFolder(docs);
    const std::vector<std::string> readers = readerHoldsOfThisPlatform();

    for (const auto table : {WorkTable::Soluc, WorkTable::Grupost, WorkTable::Proft,
                             WorkTable::Asignomt2, WorkTable::Diashorast}) {
        const fs::path file = data::tableFile(work, table);
        for (const std::string& hold : holdsOfThisPlatform()) {
            SCOPED_TRACE(utf8(file.filename()) + " held by " + hold);
            std::string message;
            {
                HeldByAnotherProcess holder(file, hold);
                ASSERT_TRUE(holder.holds());
                message = errorOf([&] { importer::runImport(document, work); });
            }
            EXPECT_EQ(snapshotFolder(work), tables);
            if (std::ranges::find(readers, hold) != readers.end()) {
                // A reader's lock: the import reads beside it.
                EXPECT_EQ(message, "");
                EXPECT_NE(readFile(result), "earlier result");
                writeFile(result, "earlier result");
                continue;
            }
            EXPECT_NE(message.find(utf8(file) + ": está en uso"), std::string::npos) << message;
            EXPECT_EQ(snapshotFolder(docs), documents);
        }
    }
    EXPECT_EQ(importer::runImport(document, work).outcome, importer::ImportOutcome::Completed);
    EXPECT_NE(readFile(result), "earlier result");
}

}  // namespace
}  // namespace thq::test
