// Hostile documents given to the export and the import: the run ends with the refusal and
// nothing is written, neither in the work folder nor beside the document.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/table_layouts.hpp"
#include "data/xml_document.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;
using data::WorkTable;

std::string entityBomb() {
    std::string s = "<!DOCTYPE SERVICIO [\n<!ENTITY l0 \"ja\">\n";
    for (int i = 1; i <= 10; ++i) {
        s += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) s += "&l" + std::to_string(i - 1) + ";";
        s += "\">\n";
    }
    return s +
           "]>\n<SERVICIO><SALIDAS><listasal "
           "seq='PROFESORES'>&l10;</listasal></SALIDAS></SERVICIO>";
}

std::string deepDocument() {
    std::string s = "<SERVICIO><SALIDAS>";
    for (int i = 0; i < 100000; ++i) s += "<listasal>";
    return s;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(HostileDocument, ExportAndImportEndWithTheRefusalAndWriteNothing) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    const fs::path documents = dir / "quelva";
    fs::create_directories(work);
    fs::create_directories(documents);
    ASSERT_EQ(exporter::runExport(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml", work),
              exporter::ExportOutcome::Completed);
    data::DbfTable soluc(data::tableFile(work, WorkTable::Soluc));
    soluc.defineFields(data::layoutOf(WorkTable::Soluc).fields);
    soluc.create();

    struct Case {
        const char* kind;
        std::string bytes;
        std::uint64_t sparseSize;  // when not 0, the file is stretched to this size
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {"entity bomb", entityBomb(), 0,
         "el documento declara entidades (<!ENTITY ...>), que no se admiten"},
        {"deep nesting", deepDocument(), 0, "el documento anida elementos a más de 256 niveles"},
        {"16 GB document", "<SERVICIO>", 16ull << 30,
         "el documento ocupa 16384 MB, más que el límite de 64 MB (opción --max-document-size)"},
    };
    const auto before = snapshotFolder(work);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const fs::path document = documents / "hostil.xml";
        writeFile(document, c.bytes);
        if (c.sparseSize != 0) fs::resize_file(document, c.sparseSize);
        const std::string expected = document.string() + ": " + c.refusal;

        EXPECT_EQ(errorOf([&] { exporter::runExport(document, work); }), expected);
        EXPECT_EQ(snapshotFolder(work), before);
        EXPECT_EQ(errorOf([&] { importer::runImport(document, work); }), expected);
        EXPECT_EQ(snapshotFolder(work), before);
        EXPECT_EQ(namesIn(documents), std::vector<std::string>{"hostil.xml"});
    }
}

// Inputs the import fuzz target found (fuzz/corpus/fuzz_import_soluc): the import either
// writes a result that reads back or ends with thq::Error and no result, never a broken
// document or a leak (the ASan build checks leaks at exit).
TEST(HostileSolution, FoundInputsEndInAReadableResultOrAnErrorWithoutResult) {
    const std::vector<std::string> found = {
        "control_character_in_text.dbf",  // "D\a\0E" in TAREA: would have written "\a"
    };
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    fs::create_directories(work);
    const fs::path document = dir / "escuela.xml";
    fs::copy_file(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml", document);
    ASSERT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
    for (const auto& name : found) {
        SCOPED_TRACE(name);
        fs::copy_file(sourceDir() / "fuzz" / "corpus" / "fuzz_import_soluc" / name,
                      data::tableFile(work, WorkTable::Soluc),
                      fs::copy_options::overwrite_existing);
        const fs::path result = importer::resultPathFor(document);
        fs::remove(result);
        const std::string error = errorOf([&] { importer::runImport(document, work); });
        if (error.empty()) {
            EXPECT_NO_THROW(data::XmlDocument::load(result));
        } else {
            EXPECT_FALSE(fs::exists(result)) << error;
        }
    }
}

// A table text that XML cannot carry stops the import saying which lesson and item hold it.
TEST(HostileSolution, AControlCharacterIsPlaced) {
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    fs::create_directories(work);
    const fs::path document = dir / "escuela.xml";
    fs::copy_file(sourceDir() / "samples" / "ies-sierra-de-la-vega.xml", document);
    ASSERT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
    fs::copy_file(
        sourceDir() / "fuzz" / "corpus" / "fuzz_import_soluc" / "control_character_in_text.dbf",
        data::tableFile(work, WorkTable::Soluc), fs::copy_options::overwrite_existing);
    try {
        importer::runImport(document, work);
        ADD_FAILURE() << "a control character reached the result";
    } catch (const Error& error) {
        EXPECT_NE(error.detail().find("de SOLUC, dato X_ACTIVIDAD: '"), std::string::npos)
            << error.detail();
        EXPECT_EQ(error.detail().rfind("lección del registro ", 0), 0u) << error.detail();
    }
}

}  // namespace
}  // namespace thq::test
