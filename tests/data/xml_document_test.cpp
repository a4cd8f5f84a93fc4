#include "data/xml_document.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using namespace std::string_literals;

fs::path fixture(const std::string& name) { return test::testDataDir() / "xml" / name; }

std::vector<std::string> attributeOf(const std::vector<XmlNode>& nodes, const char* name) {
    std::vector<std::string> out;
    for (const auto& node : nodes) out.push_back(node.attribute(name).value_or("<none>"));
    return out;
}

std::vector<std::string> fileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(XmlEncoding, EveryEncodingReadsAsUtf8AndSavesInItsOwn) {
    struct Case {
        const char* file;
        const char* declared;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"utf8.xml", "UTF-8", "Año académico €"},
        {"utf8_bom.xml", "UTF-8", "Año académico €"},
        {"utf16le_bom.xml", "UTF-16", "Año académico €"},
        {"utf16be_bom.xml", "UTF-16", "Año académico €"},
        {"iso88591.xml", "ISO-8859-1", "Año académico"},
        {"windows1252.xml", "windows-1252", "Año académico €"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const XmlDocument doc = XmlDocument::load(fixture(c.file));
        EXPECT_EQ(doc.encoding(), c.declared);
        const XmlNode root = doc.documentElement();
        EXPECT_EQ(root.name(), "SERVICIO");
        EXPECT_EQ(root.attribute("centro"), "Colegio Peñalba");
        EXPECT_EQ(root.firstChildElement("texto").text(), c.text);

        const std::string saved = doc.serialize();
        EXPECT_EQ(saved.find("&#"), std::string::npos) << "every character fits the encoding";
        const XmlDocument again = XmlDocument::parse(saved, c.file);
        EXPECT_EQ(again.encoding(), c.declared);
        EXPECT_EQ(again.documentElement().firstChildElement("texto").text(), c.text);
    }
}

TEST(XmlSave, AnUnchangedDocumentSerializesToTheBytesItWasReadFrom) {
    const std::vector<std::string> documents = {
        readFile(fixture("salidas_latin1.xml")),
        readFile(fixture("windows1252.xml")),
        // Without a declared encoding the text stays UTF-8, not character references,
        // and no declaration appears where there was none.
        "<r a=\"ñ\">ñ €<b/></r>\n",
        "<?xml version=\"1.0\"?>\n<r>ñ</r>\n",
        "<?xml version=\"1.0\" standalone=\"yes\"?>\n<r>ñ</r>\n",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\n  <![CDATA[a<b]]>\n</r>\n",
    };
    for (const auto& bytes : documents) {
        SCOPED_TRACE(bytes.substr(0, 60));
        EXPECT_EQ(XmlDocument::parse(bytes, "doc.xml").serialize(), bytes);
    }
}

TEST(XmlSave, ChangingOneElementLeavesEveryOtherByteAsRead) {
    struct Case {
        std::string original;
        std::string oldText;
        std::string newText;
        std::string newBytes;  // in the document's encoding
    };
    const std::vector<Case> cases = {
        // Ł and ź are not in ISO-8859-1 nor in windows-1252: character references.
        {readFile(fixture("salidas_latin1.xml")),
         "Pe\xF1"
         "a",
         "Łukasz & Ñ", "&#321;ukasz &amp; \xD1"},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
         "<SERVICIO>\n  <SALIDAS>\n    <listasal seq=\"PROFESORES\">\n"
         "      <listasal codigo=\"P1\">x</listasal>\n    </listasal>\n  </SALIDAS>\n"
         "</SERVICIO>\n",
         "x", "€ Łódź <1>",
         "\x80 &#321;\xF3"
         "d&#378; &lt;1&gt;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newText);
        XmlDocument doc = XmlDocument::parse(c.original, "doc.xml");
        const auto found =
            doc.selectNodes("/SERVICIO/SALIDAS/listasal[@seq=\"PROFESORES\"]/listasal");
        ASSERT_EQ(found.size(), 1u);
        XmlNode(found[0]).setText(c.newText);

        std::string expected = c.original;
        const std::string oldElement = "\"P1\">" + c.oldText + "<";
        const auto at = expected.find(oldElement);
        ASSERT_NE(at, std::string::npos);
        expected.replace(at, oldElement.size(), "\"P1\">" + c.newBytes + "<");

        const std::string saved = doc.serialize();
        EXPECT_EQ(saved, expected);
        const XmlDocument again = XmlDocument::parse(saved, "doc.xml");
        EXPECT_EQ(again.selectNodes("//listasal[@codigo=\"P1\"]").at(0).text(), c.newText);
    }
}

TEST(XmlSave, SavesTheFileAndAFailedSaveLeavesNothingBehind) {
    TempDir dir;
    XmlDocument doc = XmlDocument::load(fixture("salidas_latin1.xml"));
    doc.save(dir / "horario.xml");
    EXPECT_EQ(readFile(dir / "horario.xml"), readFile(fixture("salidas_latin1.xml")));

    doc.documentElement().setAttribute("version", "3");
    const std::string before = readFile(dir / "horario.xml");
    fs::create_directory(dir / "carpeta");
    for (const fs::path& target : {dir / "falta" / "horario.xml", dir / "carpeta"}) {
        SCOPED_TRACE(target.string());
        EXPECT_THROW(doc.save(target), Error);
        EXPECT_EQ(readFile(dir / "horario.xml"), before);
        EXPECT_EQ(fileNames(dir.path()), (std::vector<std::string>{"carpeta", "horario.xml"}));
        EXPECT_TRUE(fs::is_empty(dir / "carpeta"));
    }

    doc.save(dir / "horario.xml");
    EXPECT_EQ(XmlDocument::load(dir / "horario.xml").documentElement().attribute("version"), "3");
}

TEST(XmlLoad, MissingFilesAndFoldersAreRefusedNamingThem) {
    TempDir dir;
    const fs::path missing = dir / "no_existe.xml";
    EXPECT_EQ(errorOf([&] { XmlDocument::load(missing); }),
              platform::displayPath(missing) + ": el archivo no existe");
    EXPECT_EQ(errorOf([&] { XmlDocument::load(dir.path()); }),
              platform::displayPath(dir.path()) + ": es una carpeta, no un archivo");
    writeFile(dir / "vacio.xml", "");
    EXPECT_EQ(errorOf([&] { XmlDocument::load(dir / "vacio.xml"); }),
              platform::displayPath(dir / "vacio.xml") + ": el documento XML está vacío");
}

TEST(XmlParse, ErrorsNameTheLineAndColumnAndPrintNothing) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(errorOf([] { XmlDocument::parse("<r>\n<a></b></r>", "datos.xml"); }),
              "datos.xml: el documento XML no es válido (línea 2, columna 8): la etiqueta de "
              "cierre </b> no corresponde a <a>, abierta en la línea 2");

    struct Case {
        const char* bytes;
        const char* where;
    };
    const std::vector<Case> cases = {
        {"<r>\n  <a>\n", "(línea 3, columna 1)"},
        {"<r a=\"1\" a=\"2\"/>", "(línea 1, columna 15)"},
        {"<r>&nada;</r>", "(línea 1, columna 10)"},
        {"texto", "(línea 1, columna 1)"},
        {"<r/>\n<s/>", "(línea 2, columna 1)"},
        {"<r>\xFF</r>", "(línea 1, columna 4)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string message = errorOf([&] { XmlDocument::parse(c.bytes, "datos.xml"); });
        EXPECT_EQ(message.rfind("datos.xml: el documento XML no es válido ", 0), 0u) << message;
        EXPECT_NE(message.find(c.where), std::string::npos) << message;
        EXPECT_NE(message.back(), '\n');
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XmlParse, EntityDeclarationsAreRefusedBeforeAnyExpansion) {
    std::string laughs = "<!DOCTYPE r [\n<!ENTITY l0 \"ja\">\n";
    for (int i = 1; i <= 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    laughs += "]>\n";
    const std::vector<std::string> documents = {
        laughs + "<r>&l10;</r>",
        laughs + "<r a=\"&l10;\"/>",
        "<!DOCTYPE r [<!ENTITY % p \"<!ENTITY q 'x'>\"> %p;]><r>&q;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>",
        "<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" NDATA n>]><r/>",
        "<!DOCTYPE r [<!ENTITY a \"inofensiva\">]><r/>",
    };
    testing::internal::CaptureStderr();
    for (const auto& bytes : documents) {
        SCOPED_TRACE(bytes.substr(0, 80));
        EXPECT_EQ(errorOf([&] { XmlDocument::parse(bytes, "bomba.xml"); }),
                  "bomba.xml: el documento declara entidades (<!ENTITY ...>), que no se admiten");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XmlParse, AnExternalDtdIsNeverRead) {
    TempDir dir;
    writeFile(dir / "externa.dtd",
              "<!ENTITY secreto \"SECRETO\">\n<!ATTLIST r defecto CDATA \"DEFECTO\">\n");
    writeFile(dir / "doc.xml", "<!DOCTYPE r SYSTEM \"externa.dtd\">\n<r>&secreto;</r>\n");

    const XmlDocument doc = XmlDocument::load(dir / "doc.xml");
    EXPECT_EQ(doc.documentElement().text(), "");
    EXPECT_EQ(doc.documentElement().attribute("defecto"), std::nullopt);
    EXPECT_EQ(doc.serialize(), "<!DOCTYPE r SYSTEM \"externa.dtd\">\n<r>&secreto;</r>\n");

    const XmlDocument passwd =
        XmlDocument::parse("<!DOCTYPE r SYSTEM \"file:///etc/passwd\"><r>x</r>", "doc.xml");
    EXPECT_EQ(passwd.documentElement().text(), "x");
    EXPECT_EQ(passwd.serialize().find("root"), std::string::npos);
}

TEST(XmlSelect, PathsWithPredicatesGiveDocumentOrderAcrossSections) {
    const XmlDocument doc = XmlDocument::load(fixture("salidas_latin1.xml"));
    struct Case {
        const char* xpath;
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases = {
        {"/SERVICIO/SALIDAS/listasal[@seq=\"MATERIAS\"]/listasal", {"M1", "M2", "M3", "M4"}},
        {"/SERVICIO/salidas/listasal[@seq=\"MATERIAS\"]/listasal", {"X1"}},
        {"/SERVICIO/SALIDAS/listasal[@seq=\"materias\"]/listasal", {}},
        {"/servicio/SALIDAS/listasal/listasal", {}},
        {"/SERVICIO/SALIDAS/listasal/listasal[@codigo=\"P1\"] | //listasal[@codigo=\"M1\"]",
         {"M1", "P1"}},
        {"/SERVICIO/SALIDAS/listasal/listasal/@codigo", {}},  // attributes are no elements
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xpath);
        EXPECT_EQ(attributeOf(doc.selectNodes(c.xpath), "codigo"), c.codes);
    }

    testing::internal::CaptureStderr();
    for (const char* bad : {"/SERVICIO/[", "count(/SERVICIO)", "/SERVICIO/x("}) {
        SCOPED_TRACE(bad);
        const std::string message = errorOf([&] { doc.selectNodes(bad); });
        EXPECT_NE(message.find(bad), std::string::npos) << message;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XmlNode, ReadsNamesAttributesTextAndLines) {
    const XmlDocument doc = XmlDocument::load(fixture("salidas_latin1.xml"));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.name(), "SERVICIO");
    EXPECT_EQ(root.line(), 3);
    EXPECT_EQ(root.attribute("version"), "2");
    EXPECT_EQ(root.attribute("Version"), std::nullopt);
    EXPECT_EQ(root.childElements("SALIDAS").size(), 2u);
    EXPECT_EQ(root.childElements("salidas").size(), 1u);
    EXPECT_TRUE(root.childElements("listasal").empty());  // children only, not descendants
    const XmlNode none = root.firstChildElement("Nota");
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.text(), "");
    EXPECT_EQ(none.attribute("tipo"), std::nullopt);
    EXPECT_TRUE(none.firstChildElement("x").isNull());
    EXPECT_EQ(none.line(), 0);

    const XmlNode nota = root.firstChildElement("nota");
    ASSERT_FALSE(nota.isNull());
    EXPECT_EQ(nota.line(), 27);
    EXPECT_EQ(nota.text(), "Año & curso <1>");

    const XmlNode second = root.childElements("SALIDAS")[1];
    EXPECT_EQ(second.firstChildElement("listasal").attribute("seq"), "MATERIAS");
    EXPECT_EQ(second.childElements("vacio").at(0).text(), "");
    const auto materias = root.firstChildElement("SALIDAS").childElements("listasal");
    ASSERT_EQ(materias.size(), 3u);
    EXPECT_EQ(materias[0].childElements("listasal")[1].text(), "Lengua & Literatura");  // CDATA
    EXPECT_EQ(materias[2].text(), "\n      Física\n    ");
}

TEST(XmlNode, LineNumbersGoPast65535) {
    const std::string bytes = "<r>" + std::string(69999, '\n') + "<b>x</b></r>";
    const XmlDocument doc = XmlDocument::parse(bytes, "largo.xml");
    EXPECT_EQ(doc.documentElement().firstChildElement("b").line(), 70000);
}

TEST(XmlNode, EditsProduceTheExpectedMarkup) {
    XmlDocument doc = XmlDocument::parse("<r><a x=\"1\">t<b/></a></r>\n", "doc.xml");
    XmlNode root = doc.documentElement();
    XmlNode a = root.firstChildElement("a");

    a.setAttribute("x", "<&\"'>");
    a.setAttribute("nuevo", "ñ");
    a.setText("1 & 2 < 3 &amp;");
    EXPECT_EQ(a.attribute("x"), "<&\"'>");
    EXPECT_EQ(a.text(), "1 & 2 < 3 &amp;");
    EXPECT_TRUE(a.firstChildElement("b").isNull());
    EXPECT_EQ(doc.serialize(),
              "<r><a x=\"&lt;&amp;&quot;'&gt;\" nuevo=\"ñ\">1 &amp; 2 &lt; 3 &amp;amp;</a></r>\n");

    a.setText("");
    XmlNode c = doc.createElement("c");
    c.setText("z");
    root.appendChild(c);
    EXPECT_EQ(doc.serialize(), "<r><a x=\"&lt;&amp;&quot;'&gt;\" nuevo=\"ñ\"/><c>z</c></r>\n");

    EXPECT_THROW(c.removeChild(a), std::logic_error);
    EXPECT_THROW(XmlNode().setText("x"), std::logic_error);
    root.removeChild(a);
    EXPECT_EQ(doc.serialize(), "<r><c>z</c></r>\n");
    EXPECT_EQ(root.childElements("c").size(), 1u);

    EXPECT_THROW(c.setText("\xF1"), Error);  // Windows-1252, not UTF-8
    EXPECT_THROW(c.setAttribute("a", "\xC3"), Error);
    EXPECT_THROW(c.setText("a\0b"s), Error);
    EXPECT_EQ(doc.serialize(), "<r><c>z</c></r>\n");
}

}  // namespace
}  // namespace thq::data
