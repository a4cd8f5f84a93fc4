#include "data/text.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "data/error.hpp"

namespace thq::text {
namespace {

using namespace std::string_literals;

TEST(TextToInt32, AcceptsDecimalAndHexadecimalForms) {
    struct Case {
        std::string text;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"12", 12},
        {" 12", 12},
        {"   +12", 12},
        {"-12", -12},
        {"0", 0},
        {"-0", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"000000000002147483647", INT32_MAX},
        {"$1A", 0x1A},
        {"$ff", 0xFF},
        {"x1A", 0x1A},
        {"X1a", 0x1A},
        {"0x1A", 0x1A},
        {"0X1a", 0x1A},
        {" -x10", -16},
        {"-$10", -16},
        {"+$10", 16},
        {"$7FFFFFFF", INT32_MAX},
        {"$80000000", INT32_MIN},
        {"-$80000000", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"-$FFFFFFFF", 1},
        {"$00000001A2B", 0x1A2B},
        {"$0000000FFFFFFFF", -1},
        {"0x000000000", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_EQ(toInt32(c.text), c.expected);
    }
}

TEST(TextToInt32, RefusesEverythingElseNamingTheWholeText) {
    const std::vector<std::string> refused = {
        "",
        " ",
        "+",
        "-",
        "$",
        "x",
        "0x",
        "12 ",
        " 12 ",
        "\t12",
        "12\n",
        "1.0",
        "90.5",
        "1e3",
        "12abc",
        "1A",
        "--1",
        "+-1",
        "- 1",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "$123456789",
        "$-1A2B",
        "$ 1A2B",
        "$0x1A2B",
        "$+1",
        "0x0x1",
        "00x1A",
        "0$1",
        "$1G",
        "\xA0"
        "12",
        "\xD9\xA1\xD9\xA2",  // Arabic-Indic digits
    };
    for (const auto& text : refused) {
        SCOPED_TRACE("text: \"" + text + "\"");
        try {
            const std::int32_t value = toInt32(text);
            ADD_FAILURE() << "accepted as " << value;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
            EXPECT_EQ(e.value(), cp1252ToUtf8(text));
            // Quoted with its control characters escaped (the tab and line feed above).
            EXPECT_EQ(std::string(e.what()),
                      thq::text::quoted(cp1252ToUtf8(text)) + " no es un valor entero válido");
        }
    }
}

TEST(TextToInt32, MessageShowsTheWindows1252TextAsUtf8) {
    try {
        toInt32("a\xF1o 12");
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'año 12' no es un valor entero válido");
        EXPECT_NE(dynamic_cast<const Error*>(&e), nullptr);
    }
}

TEST(TextTrim, RemovesControlCharactersAndSpacesOnlyAtTheEnds) {
    struct Case {
        std::string in;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"", ""},           {"   ", ""},
        {"  a b  ", "a b"}, {"\t\r\n x \x01\x1F", "x"},
        {"\0a\0"s, "a"},    {"\xA0x\xA0", "\xA0x\xA0"},  // no-break space is kept
        {"!x!", "!x!"},     {"\x7Fx", "\x7Fx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("input: \"" + c.in + "\"");
        EXPECT_EQ(trim(c.in), c.expected);
        EXPECT_EQ(isBlank(c.in), c.expected.empty());
    }
}

TEST(TextTrim, TrailingBlanksAreSpacesAndNulPaddingOnly) {
    EXPECT_EQ(trimTrailingBlanks("ab  "), "ab");
    EXPECT_EQ(trimTrailingBlanks("ab\0\0 \0"s), "ab");
    EXPECT_EQ(trimTrailingBlanks(" ab"), " ab");
    EXPECT_EQ(trimTrailingBlanks("ab\t"), "ab\t");
    EXPECT_EQ(trimTrailingBlanks("  "), "");
}

TEST(TextFirstChars, CutsOrKeepsTheWholeText) {
    EXPECT_EQ(firstChars("MATEMATICAS", 5), "MATEM");
    EXPECT_EQ(firstChars("MAT", 5), "MAT");
    EXPECT_EQ(firstChars("MAT", 0), "");
}

TEST(TextCeiling, RoundsUpToWholeNumbers) {
    EXPECT_EQ(ceiling(1.2), 2.0);
    EXPECT_EQ(ceiling(3.0), 3.0);
    EXPECT_EQ(ceiling(-1.2), -1.0);
    EXPECT_EQ(ceiling(0.0000001), 1.0);
}

TEST(TextCase, AsciiChangesLeaveAccentedLettersAlone) {
    EXPECT_EQ(upperAscii("az\xF1\xE1"
                         "Z1"),
              "AZ\xF1\xE1"
              "Z1");
    EXPECT_EQ(lowerAscii("AZ\xD1\xC1"
                         "z1"),
              "az\xD1\xC1"
              "z1");
}

TEST(TextCase, FoldingMakesAccentedLettersMatchTheirCapitals) {
    EXPECT_EQ(foldCase1252("pe\xF1"
                           "a \xE1"
                           "rbol"),
              foldCase1252("PE\xD1"
                           "A \xC1"
                           "RBOL"));
    EXPECT_EQ(foldCase1252("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F");  // š œ ž ÿ

    // Every byte is either unchanged or mapped onto a capital that folds to itself; only
    // the letters change: 26 ASCII, 30 accented (à-þ without ÷) and š, œ, ž, ÿ.
    int changed = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string folded = foldCase1252(in);
        ASSERT_EQ(folded.size(), 1u);
        EXPECT_EQ(foldCase1252(folded), folded) << "byte " << b;
        if (folded != in) ++changed;
    }
    EXPECT_EQ(changed, 60);
    EXPECT_EQ(foldCase1252("\xF7\xD7\xDF\xB5"), "\xF7\xD7\xDF\xB5");  // ÷ × ß µ
}

TEST(TextErrorBox, AddsAFullStopAfterCharactersAboveTheFullStop) {
    struct Case {
        std::string in;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"Hecho.", "Hecho."},
        {"Falta el archivo", "Falta el archivo."},
        {"Error!", "Error!"},
        {"(x)", "(x)"},
        {"x-", "x-"},
        {"Valor: 3 ", "Valor: 3 "},
        {"a/", "a/."},
        {"12", "12."},
        {"\xC2\xBFSeguro?", "\xC2\xBFSeguro?."},
        {"Falta la materia Espa\xC3\xB1", "Falta la materia Espa\xC3\xB1."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("message: \"" + c.in + "\"");
        EXPECT_EQ(errorBoxText(c.in), c.expected);
    }
}

TEST(TextCp1252, EveryByteSurvivesARoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
    EXPECT_TRUE(representableInCp1252(utf8));
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");          // €
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D"), "\xC2\x81\xC2\x8D");  // undefined: C1 controls
    EXPECT_EQ(cp1252ToUtf8("\x9F"), "\xC5\xB8");              // Ÿ
    EXPECT_EQ(cp1252ToUtf8("a\xF1"
                           "b"),
              "a\xC3\xB1"
              "b");  // ñ
    EXPECT_EQ(cp1252ToUtf8("\xA0"), "\xC2\xA0");
}

TEST(TextCp1252, MapsPunctuationAndLettersOfTheHighControlsRange) {
    struct Case {
        std::string utf8;
        std::string cp1252;
        bool representable;
    };
    const std::vector<Case> cases = {
        {"\xE2\x82\xAC", "\x80", true},                  // €
        {"\xE2\x80\x98\xE2\x80\x99", "\x91\x92", true},  // ‘ ’
        {"\xE2\x80\x9C\xE2\x80\x9D", "\x93\x94", true},  // “ ”
        {"\xC5\xA0\xC5\xA1", "\x8A\x9A", true},          // Š š
        {"\xE2\x80\xA6\xE2\x84\xA2", "\x85\x99", true},  // … ™
        {"Espa\xC3\xB1"
         "a",
         "Espa\xF1"
         "a",
         true},
        {"a\xE4\xB8\xAD"
         "b",
         "a?b", false},                    // CJK
        {"\xF0\x9F\x98\x80", "?", false},  // emoji
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "?\xF3"
         "d?",
         false},                   // Łódź
        {"\xC2\x80", "?", false},  // U+0080: 0x80 is the euro sign
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("utf8: \"" + c.utf8 + "\"");
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
        EXPECT_EQ(representableInCp1252(c.utf8), c.representable);
    }
}

TEST(TextCp1252, MalformedUtf8BecomesQuestionMarks) {
    struct Case {
        std::string utf8;
        std::string cp1252;
    };
    const std::vector<Case> cases = {
        {"\xC3", "?"},                 // cut short at the end
        {"\xC3(", "?("},               // missing continuation
        {"\xE2\x82x", "?x"},           // three-byte sequence cut short
        {"\x80", "?"},                 // stray continuation byte
        {"\xFF\xFE", "??"},            // bytes never used
        {"\xC0\xAF", "??"},            // overlong '/'
        {"\xE0\x80\xAF", "???"},       // overlong, three bytes
        {"\xED\xA0\x80", "???"},       // surrogate
        {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
        {"a\xC3\xB1\xC3", "a\xF1?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("utf8 bytes: " + ::testing::PrintToString(c.utf8));
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
        EXPECT_FALSE(representableInCp1252(c.utf8));
        EXPECT_FALSE(isValidUtf8(c.utf8));
    }
}

TEST(TextCp1252, WellFormedUtf8IsRecognisedUpToTheLastCodePoint) {
    for (const std::string s : {"", "abc", "\xC2\x80", "\xE4\xB8\xAD", "\xED\x9F\xBF",
                                "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        SCOPED_TRACE(::testing::PrintToString(s));
        EXPECT_TRUE(isValidUtf8(s));
    }
}

TEST(TextEscapeControls, LeavesNoCharacterThatMovesOrClearsTheTerminal) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Lengua castellana", "Lengua castellana"},
        {"año 2º, 100 €", "año 2º, 100 €"},  // printable UTF-8 stays
        {"a\nAVISO b", "a\\nAVISO b"},       // a line of its own
        {"\r\t", "\\r\\t"},
        {"\x1b[2J\x07"s, "\\x1B[2J\\x07"},  // escape, bell
        {"a\0b"s, "a\\x00b"},
        {"\x7f", "\\x7F"},
        {"\xc2\x9b"
         "2J",
         "\\u009B2J"},                     // the one-byte CSI
        {"\xe2\x80\xa8", "\\u2028"},       // line separator
        {"\xff\xc3", "\\xFF\\xC3"},        // not UTF-8
        {"C:\\datos\\n", "C:\\datos\\n"},  // a backslash stays
    };
    for (const auto& [raw, shown] : cases) {
        EXPECT_EQ(escapeControls(raw), shown) << raw;
        EXPECT_EQ(escapeControls(shown), shown) << "escaping twice changes nothing";
    }
    EXPECT_EQ(thq::text::quoted("O'NE\n"), "'O'NE\\n'");
}

TEST(TextQuoteFilterValue, DoublesInnerQuotes) {
    EXPECT_EQ(quoteFilterValue("O'NE"), "'O''NE'");
    EXPECT_EQ(quoteFilterValue(""), "''");
    EXPECT_EQ(quoteFilterValue("''"), "''''''");
    EXPECT_EQ(quoteFilterValue("1\xBA"
                               "A"),
              "'1\xBA"
              "A'");
}

}  // namespace
}  // namespace thq::text
