// The encodings a document may come in, the ones refused by name, Windows-1252 through this
// program's own converter, and the parser's errors as one Spanish message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/text.hpp"
#include "data/xml_document.hpp"
#include "test_support.hpp"

namespace thq::data {
namespace {

using test::errorOf;

// A UTF-8 text as UTF-16 or UTF-32 bytes, with or without a byte-order mark.
std::string encodeWide(const std::string& utf8, std::size_t unitSize, bool bigEndian, bool mark) {
    std::string out;
    const auto put = [&](char32_t unit) {
        for (std::size_t k = 0; k < unitSize; ++k) {
            const std::size_t shift = 8 * (bigEndian ? unitSize - 1 - k : k);
            out.push_back(static_cast<char>((unit >> shift) & 0xFF));
        }
    };
    if (mark) put(0xFEFF);
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = *text::nextUtf8(utf8, i);
        if (unitSize == 2 && cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string utf16(const std::string& utf8, bool bigEndian, bool mark = true) {
    return encodeWide(utf8, 2, bigEndian, mark);
}

TEST(XmlEncodings, TheAcceptedOnesReadAndSaveInTheirOwnEncoding) {
    struct Case {
        const char* label;
        std::string bytes;
        std::string declared;  // what encoding() gives
        std::string text;      // the root's text, as UTF-8
        bool sameBytes;        // an unchanged document saves as the bytes it came in
    };
    const std::vector<Case> cases = {
        {"UTF-8 without declaration", "<r>Peña €</r>\n", "", "Peña €", true},
        {"UTF-8 with its mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><r>Peña</r>",
         "utf-8", "Peña", false},
        {"UTF-16LE without declaration", utf16("<r>Peña € 𝄞</r>\n", false), "", "Peña € 𝄞", true},
        {"UTF-16BE without declaration", utf16("<r>Peña €</r>\n", true), "", "Peña €", true},
        {"UTF-16 declared, no mark",
         utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>Peña</r>", true, false), "UTF-16",
         "Peña", false},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>Pe\xF1"
         "a</r>\n",
         "ISO-8859-1", "Peña", true},
        {"ISO-8859-15",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<r>Pe\xF1"
         "a \xA4</r>\n",
         "ISO-8859-15", "Peña €", true},
        {"Windows-1252",
         "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<r>Pe\xF1"
         "a \x80</r>\n",
         "Windows-1252", "Peña €", true},
        {"cp1252",
         "<?xml version=\"1.0\" encoding=\"CP1252\"?>\n<r>Pe\xF1"
         "a \x80</r>\n",
         "CP1252", "Peña €", true},
        {"US-ASCII", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n<r>Pena &#8364;</r>\n",
         "US-ASCII", "Pena €", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const XmlDocument doc = XmlDocument::parse(c.bytes, "doc.xml");
        EXPECT_EQ(doc.encoding(), c.declared);
        EXPECT_EQ(doc.documentElement().text(), c.text);
        const std::string saved = doc.serialize();
        if (c.sameBytes) {
            EXPECT_EQ(saved, c.bytes);
        }
        const XmlDocument again = XmlDocument::parse(saved, "doc.xml");
        EXPECT_EQ(again.documentElement().text(), c.text);
        EXPECT_EQ(again.encoding(), c.declared);
    }
}

TEST(XmlEncodings, OthersAreRefusedNamingThem) {
    std::string ebcdic = "\x4C\x6F\xA7\x94\x93\x40";                       // "<?xml " in EBCDIC
    for (int i = 0; i < 20000; ++i) ebcdic += "\x81\x7E\x7F\x81\x7F\x40";  // a="a"
    struct Case {
        const char* label;
        std::string bytes;
        std::string problem;
    };
    const std::string accepted =
        "guárdelo en UTF-8, UTF-16, ISO-8859-1, ISO-8859-15, windows-1252 o US-ASCII";
    const std::vector<Case> cases = {
        {"UTF-32LE", encodeWide("<r/>", 4, false, true),
         "el documento está en UTF-32, que no se admite: " + accepted},
        {"UTF-32BE without mark", encodeWide("<r/>", 4, true, false),
         "el documento está en UTF-32, que no se admite: " + accepted},
        {"EBCDIC", ebcdic, "el documento está en EBCDIC, que no se admite: " + accepted},
        {"UTF-7 mark", "+/v8-<r/>", "el documento está en UTF-7, que no se admite: " + accepted},
        {"UTF-7 declared", "<?xml version=\"1.0\" encoding=\"UTF-7\"?><r>+AGE-</r>",
         "la codificación «UTF-7» no se admite: guarde el documento en UTF-8, UTF-16, "
         "ISO-8859-1, ISO-8859-15, windows-1252 o US-ASCII"},
        {"ISO-8859-2", "<?xml version='1.0' encoding='ISO-8859-2'?><r/>",
         "la codificación «ISO-8859-2» no se admite"},
        {"UTF-8 mark, Latin-1 declared",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Peña</r>",
         "el documento empieza con la marca de UTF-8 pero declara encoding=\"ISO-8859-1\""},
        {"UTF-16 mark, Latin-1 declared",
         utf16("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>", false),
         "el documento está escrito en UTF-16 pero declara encoding=\"ISO-8859-1\""},
        {"UTF-16 declared in single bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>",
         "el documento declara encoding=\"UTF-16\" pero está escrito con un byte por carácter"},
        {"US-ASCII with a byte above 0x7F",
         "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n<r>Pe\xF1"
         "a</r>",
         "el documento declara encoding=\"US-ASCII\" pero tiene el byte 0xF1 (línea 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string message = errorOf([&] { XmlDocument::parse(c.bytes, "doc.xml"); });
        EXPECT_EQ(message.rfind("doc.xml: " + c.problem, 0), 0u) << message;
    }
}

// Every byte of Windows-1252 reads as the character Windows gives it (the five undefined
// ones as the C1 controls of the same number) and is written back as the same byte; a
// character the code page lacks is written as a character reference, in text and attributes.
TEST(XmlEncodings, Windows1252GoesThroughOurOwnConverter) {
    std::string bytes;
    for (int b = 0x20; b < 0x100; ++b) {
        if (b != '<' && b != '&' && b != '>') bytes.push_back(static_cast<char>(b));
    }
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<r a=\"\x81\x8D\">" + bytes + "</r>\n";
    XmlDocument doc = XmlDocument::parse(document, "doc.xml");
    EXPECT_EQ(doc.documentElement().text(), text::cp1252ToUtf8(bytes));
    EXPECT_EQ(doc.documentElement().attribute("a"), "\u0081\u008D");
    EXPECT_EQ(doc.serialize(), document);

    doc.documentElement().setAttribute("a", "Łódź €");
    doc.documentElement().setText("Ωmega \u0090 ½");
    EXPECT_EQ(doc.serialize(),
              "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<r a=\"&#321;\xF3"
              "d&#378; \x80\">&#937;mega \x90 \xBD</r>\n");
}

TEST(XmlParse, ErrorsAreOneSpanishMessageWithTheirPlace) {
    testing::internal::CaptureStderr();
    struct Case {
        std::string bytes;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"<r>\n  <lista a='1'\n</r>",
         "(línea 3, columna 1): falta el '>' que cierra la etiqueta <lista> de la línea 2"},
        {"<r>\n<a>",
         "(línea 2, columna 4): el documento termina sin cerrar <a>, abierto en la "
         "línea 2"},
        {"<r>\n<a></b></r>",
         "(línea 2, columna 8): la etiqueta de cierre </b> no corresponde a <a>, abierta en la "
         "línea 2"},
        {"<r>a & b</r>", "(línea 1, columna 7): un '&' suelto se escribe '&amp;'"},
        {"<r/>\n<s/>", "(línea 2, columna 1): hay contenido después del final del elemento raíz"},
        {"<r a=\"1\" a=\"2\"/>", "(línea 1, columna 15): el atributo «a» está repetido"},
        {"<r>&nada;</r>", "(línea 1, columna 10): la entidad «&nada;» no está declarada"},
        {"texto",
         "(línea 1, columna 1): no hay ningún elemento: el documento tiene que empezar por '<'"},
        {"<r>Pe\xF1"
         "a</r>",
         "(línea 1, columna 6): el texto no está en UTF-8 (byte 0xF1): si el documento está en "
         "otra codificación, declárela, por ejemplo <?xml version=\"1.0\" "
         "encoding=\"ISO-8859-1\"?>"},
        // A lone surrogate: the conversion from UTF-16 fails, and says so once.
        {utf16("<r>a", false) + std::string("\x00\xD8", 2) + utf16("</r>", false, false),
         "los bytes no corresponden a la codificación del documento"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        const std::string message = errorOf([&] { XmlDocument::parse(c.bytes, "datos.xml"); });
        const std::string start = "datos.xml: el documento XML no es válido ";
        EXPECT_EQ(message.rfind(start, 0), 0u) << message;
        EXPECT_NE(message.find(c.problem), std::string::npos) << message;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace thq::data
