// Documents through the export, check and import: a document in a namespace is refused with
// the namespace named and nothing written, a UTF-16 document without a declaration gives a
// UTF-16 result, and numbers the conversion refuses are shown as the document wrote them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/import_fixture.hpp"
#include "data/error.hpp"
#include "data/findings.hpp"
#include "data/text.hpp"
#include "data/xml_document.hpp"
#include "export/export_run.hpp"
#include "import/import_run.hpp"
#include "test_support.hpp"

namespace thq::test {
namespace {

namespace fs = std::filesystem;

const std::string kSections =
    "<SALIDAS><listasal seq=\"PROFESORES\"><listasal><salida>1</salida><salida>a</salida>"
    "<salida>Uno</salida><salida>UNO</salida></listasal></listasal></SALIDAS>";

TEST(NamespacedDocument, TheExportCheckAndImportRefuseItNamingTheNamespace) {
    struct Case {
        const char* label;
        std::string document;
        std::string element;  // the element named, as the document writes it
        int line;
    };
    const std::vector<Case> cases = {
        {"default namespace on the root",
         "<SERVICIO xmlns=\"urn:x\">\n" + kSections + "</SERVICIO>", "SERVICIO", 1},
        {"prefixed root", "<q:SERVICIO xmlns:q=\"urn:x\">" + kSections + "</q:SERVICIO>",
         "q:SERVICIO", 1},
        {"namespace on SALIDAS",
         "<SERVICIO>\n<SALIDAS xmlns=\"urn:x\"><listasal seq=\"AULAS\"/></SALIDAS></SERVICIO>",
         "SALIDAS", 2},
        {"namespace on one section",
         "<SERVICIO><SALIDAS>\n\n<listasal xmlns=\"urn:x\" seq=\"AULAS\"/></SALIDAS></SERVICIO>",
         "listasal", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const fs::path work = dir / "HTEMP";
        fs::create_directory(work);
        const fs::path document = dir / "doc.xml";
        writeFile(document, "<SERVICIO>" + kSections + "</SERVICIO>");
        ASSERT_EQ(exporter::runExport(document, work), exporter::ExportOutcome::Completed);
        const auto tables = snapshotFolder(work);

        writeFile(document, c.document);
        const std::string expected = document.string() + ": el elemento <" + c.element +
                                     "> (línea " + std::to_string(c.line) +
                                     ") está en el espacio de nombres «urn:x»: el documento que "
                                     "se exporta no usa espacios de nombres";
        EXPECT_EQ(errorOf([&] { exporter::runExport(document, work); }), expected);
        EXPECT_EQ(snapshotFolder(work), tables);

        Findings findings;
        exporter::checkDocument(document, findings);
        ASSERT_EQ(findings.list().size(), 1u);
        EXPECT_EQ(formatLine(findings.list()[0]), "ERROR documento: " + expected);
    }

    // The import: its result's SALIDAS would fall into the root's namespace.
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    fs::create_directory(work);
    writeWorkTables(work, {.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", "1"}}}});
    const fs::path document = dir / "doc.xml";
    writeFile(document, "<SERVICIO xmlns=\"urn:x\"><SALIDAS/></SERVICIO>");
    EXPECT_EQ(errorOf([&] { importer::runImport(document, work); }),
              document.string() +
                  ": el elemento <SERVICIO> (línea 1) está en el espacio de nombres «urn:x»: el "
                  "documento que se importa no usa espacios de nombres");
    EXPECT_FALSE(fs::exists(importer::resultPathFor(document)));
}

// A UTF-16 document without a declaration keeps its encoding (and byte order) in the result.
TEST(DocumentEncodings, AUtf16DocumentWithoutDeclarationGivesAUtf16Result) {
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big endian" : "little endian");
        TempDir dir;
        const fs::path work = dir / "HTEMP";
        fs::create_directory(work);
        writeWorkTables(work, {.proft = {{{"ABREV", "PEN"},
                                          {"X_EMPLEADO",
                                           "Pe\xF1"
                                           "a"},
                                          {"F_TOMAPOS", "\x80"}}}});
        const std::string utf8 = "<SERVICIO><CENTRO>Educación</CENTRO><SALIDAS/></SERVICIO>\n";
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        std::size_t i = 0;
        while (i < utf8.size()) {
            const char32_t cp = *text::nextUtf8(utf8, i);
            const char high = static_cast<char>(cp >> 8);
            const char low = static_cast<char>(cp & 0xFF);
            bytes.push_back(bigEndian ? high : low);
            bytes.push_back(bigEndian ? low : high);
        }
        const fs::path document = dir / "doc.xml";
        writeFile(document, bytes);
        const auto outcome = importer::runImport(document, work);
        const std::string result = readFile(outcome.resultPath);
        EXPECT_EQ(result.substr(0, 2), bytes.substr(0, 2));
        EXPECT_EQ(result.substr(2, 2), bytes.substr(2, 2)) << "'<' in the same byte order";
        const auto doc = data::XmlDocument::load(outcome.resultPath);
        EXPECT_EQ(doc.selectNodes("/SERVICIO/CENTRO").at(0).text(), "Educación");
        EXPECT_EQ(renderTeacherBlocks(doc), std::vector<std::string>{"Peña/€:"});
    }
}

// A number the conversion refuses is shown as the document wrote it, also where Windows-1252
// lacks its characters (Arabic-Indic digits, which would show as '??').
TEST(DocumentNumbers, RefusedNumbersAreShownAsWritten) {
    const std::string arabic90 = "\u0669\u0660";  // ٩٠
    const std::string document =
        "<SERVICIO><SALIDAS><listasal seq=\"CURSOS\"><listasal><salida>K</salida><salida>1"
        "</salida></listasal></listasal><listasal seq=\"GRUPOS\"><listasal><salida>G</salida>"
        "<salida>1A</salida><salida>K</salida></listasal></listasal><listasal seq=\"MATERIAS\">"
        "<listasal><salida>M</salida><salida>n</salida><salida>C</salida><salida>K</salida>"
        "<salida>" +
        arabic90 +
        "</salida></listasal></listasal><listasal seq=\"INTERVALOS\"><listasal>"
        "<salida dato=\"CODIGO_QUELVA\">T1</salida><salida dato=\"INICIO\">\u0668:00</salida>"
        "<salida dato=\"FIN\">9:00</salida><salida dato=\"ORDEN\">1</salida></listasal>"
        "</listasal></SALIDAS></SERVICIO>";
    TempDir dir;
    const fs::path work = dir / "HTEMP";
    fs::create_directory(work);
    writeFile(dir / "doc.xml", document);
    try {
        exporter::runExport(dir / "doc.xml", work);
        ADD_FAILURE() << "the export did not fail";
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), ErrorKind::Conversion);
        EXPECT_EQ(std::string(error.what()), "'" + arabic90 + "' no es un valor entero válido");
        EXPECT_EQ(error.detail(), "MATERIAS, fila 1, valor 4 (minutos): '" + arabic90 + "'");
    }
    Findings findings;
    exporter::checkDocument(dir / "doc.xml", findings);
    std::vector<std::string> errors;
    for (const auto& finding : findings.list()) {
        if (finding.severity == Severity::Error) errors.push_back(formatLine(finding));
    }
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "ERROR MATERIAS fila 1: valor 4 (minutos): '" + arabic90 +
                              "' no es un valor entero válido",
                          // The hours of the padded start "0٨:00" are "0٨".
                          "ERROR INTERVALOS fila 1: dato INICIO ('\u0668:00'): '0\u0668' no es un "
                          "valor entero válido"}));
}

}  // namespace
}  // namespace thq::test
