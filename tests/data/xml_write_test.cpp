// What the tool writes into documents: every text it accepts reads back, texts XML cannot
// hold are refused, and elements an error leaves unplaced are freed with the document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/error.hpp"
#include "data/xml_document.hpp"

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
