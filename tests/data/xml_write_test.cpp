// What the tool writes into documents: every text it accepts reads back, texts XML cannot
// hold are refused, and elements an error leaves unplaced are freed with the document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/xml_document.hpp"
#include "data/xml_stream_writer.hpp"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TH_WITH_LEAK_CHECK 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TH_WITH_LEAK_CHECK 1
#endif
#ifdef TH_WITH_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace thq::data {
namespace {

using namespace std::string_literals;

TEST(XmlWrite, EveryAcceptedTextReadsBackAndTheOthersAreRefused) {
    struct Case {
        std::string text;
        std::string refusal;  // after "El texto " / "El valor de atributo "; empty: accepted
    };
    std::vector<Case> cases = {
        {"tab\tline\ncarriage\r", ""},
        {"ñ € \xF0\x9D\x84\x9E \xEF\xBF\xBD", ""},
        {"\xEF\xBF\xBE", "tiene un carácter que XML no admite (U+FFFE o U+FFFF)"},
        {"x\xEF\xBF\xBF", "tiene un carácter que XML no admite (U+FFFE o U+FFFF)"},
        {"\xF1", "no está en UTF-8 válido"},
    };
    for (int code = 0; code < 0x20; ++code) {
        if (code == '\t' || code == '\n' || code == '\r') continue;
        cases.push_back({"D"s + static_cast<char>(code) + "E",
                         "tiene un carácter de control (código " + std::to_string(code) +
                             "), que XML no admite"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal.empty() ? c.text : c.refusal);
        XmlDocument doc = XmlDocument::parse("<r/>", "r.xml");
        auto root = doc.documentElement();
        std::string textError;
        std::string attributeError;
        try {
            root.setText(c.text);
        } catch (const Error& e) {
            textError = e.what();
        }
        try {
            root.setAttribute("a", c.text);
        } catch (const Error& e) {
            attributeError = e.what();
        }
        if (!c.refusal.empty()) {
            EXPECT_EQ(textError, "El texto " + c.refusal);
            EXPECT_EQ(attributeError, "El valor de atributo " + c.refusal);
            continue;
        }
        EXPECT_EQ(textError, "");
        EXPECT_EQ(attributeError, "");
        const XmlDocument back = XmlDocument::parse(doc.serialize(), "r.xml");
        EXPECT_EQ(back.documentElement().text(), c.text);
        EXPECT_EQ(back.documentElement().attribute("a"), c.text);
    }
}

// Elements written as a stream are byte for byte those that saving the same elements from a
// tree gives, in every encoding a document may have: the escapes, the empty elements, the
// characters an encoding lacks as character references.
TEST(XmlWrite, StreamedElementsAreTheBytesOfTheSavedTree) {
    struct Item {
        std::string dato;
        std::string text;
    };
    const std::vector<Item> items = {
        {"PLAIN", "Servicio finalizado Correctamente"},
        {"EMPTY", ""},
        {"ESCAPES", "a<b>c&d\re\tf\ng\"h'i"},
        {"LATIN", "Peña Educación"},
        {"EURO", "€ 1"},
        {"OUTSIDE", "ŝ Ω \xF0\x9D\x84\x9E"},
        {"A B", "x"},
    };
    for (const std::string encoding :
         {"", "UTF-8", "ISO-8859-1", "ISO-8859-15", "windows-1252", "US-ASCII"}) {
        SCOPED_TRACE(encoding.empty() ? "no declaration" : encoding);
        const std::string declaration =
            encoding.empty() ? "" : "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n";
        XmlDocument doc = XmlDocument::parse(declaration + "<r/>", "r.xml");
        auto outputs = doc.createElement("SALIDAS");
        doc.documentElement().appendChild(outputs);
        auto block = doc.createElement("listasal");
        block.setAttribute("seq", "EMP_1");
        outputs.appendChild(block);

        std::string streamed;
        XmlStreamWriter out(encoding, [&](std::string_view bytes) { streamed += bytes; });
        out.startElement("SALIDAS");
        out.startElement("listasal", "seq", "EMP_1");
        for (const auto& item : items) {
            auto element = doc.createElement("salida");
            element.setAttribute("dato", item.dato);
            element.setText(item.text);
            block.appendChild(element);
            out.textElement("salida", "dato", item.dato, item.text);
        }
        out.endElement("listasal");
        out.endElement("SALIDAS");
        EXPECT_EQ(streamed, "") << "nothing handed on before flush()";
        out.flush();

        const std::string saved = doc.serialize();
        const std::size_t begin = saved.find("<r>") + 3;
        const std::size_t end = saved.rfind("</r>");
        ASSERT_LT(begin, end) << saved;
        EXPECT_EQ(streamed, saved.substr(begin, end - begin));
    }
}

TEST(XmlWrite, StreamedTextsXmlCannotCarryAreRefusedAsByTheTree) {
    std::string streamed;
    XmlStreamWriter out("ISO-8859-1", [&](std::string_view bytes) { streamed += bytes; });
    out.startElement("SALIDAS");
    for (const std::string& text : {"D\x01"s + "E", "\xF1"s, "\xEF\xBF\xBE"s}) {
        std::string treeError;
        std::string streamError;
        XmlDocument doc = XmlDocument::parse("<r/>", "r.xml");
        try {
            doc.documentElement().setText(text);
        } catch (const Error& e) {
            treeError = e.what();
        }
        try {
            out.textElement("salida", "dato", "X", text);
        } catch (const Error& e) {
            streamError = e.what();
        }
        EXPECT_NE(streamError, "");
        EXPECT_EQ(streamError, treeError);
    }
    out.endElement("SALIDAS");
    out.flush();
    EXPECT_EQ(streamed, "<SALIDAS></SALIDAS>") << "a refused element leaves nothing behind";
    EXPECT_THROW(XmlStreamWriter("NO-SUCH-ENCODING", [](std::string_view) {}), Error);
}

TEST(XmlWrite, ElementsLeftUnplacedAreFreedWithTheDocument) {
#ifndef TH_WITH_LEAK_CHECK
    GTEST_SKIP() << "needs the leak checker of an AddressSanitizer build";
#else
    {
        XmlDocument doc = XmlDocument::parse("<r/>", "r.xml");
        auto lost = doc.createElement("listasal");
        lost.setAttribute("seq", "EMP_1");
        auto inner = doc.createElement("dato");
        inner.setText("perdido");
        lost.appendChild(inner);
        auto placed = doc.createElement("SALIDAS");
        placed.setText("colocado");
        doc.documentElement().appendChild(placed);
        XmlDocument moved = std::move(doc);
        moved.createElement("otro");
        EXPECT_EQ(moved.serialize(), "<r><SALIDAS>colocado</SALIDAS></r>\n");
    }
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace thq::data
