#pragma once
// The code pages of dBase tables. A table's header names the code page of its texts in its
// language-driver byte (byte 29); the core works in Windows-1252, so the table engine
// converts texts between the two when it reads and writes them, and to UTF-8 to show them
// exactly as the table holds them.
#include <cstdint>
#include <string>
#include <string_view>

namespace thq::text {

namespace tables {
struct PageTable;
}

class CodePage {
public:
    // Windows-1252: what this program writes into the tables it creates.
    CodePage() = default;
    // The code page a language-driver byte names, after the standard table of dBase,
    // FoxPro and Clipper drivers. 0x00 (no driver named, as many programs leave it) and
    // bytes that table does not list are taken as Windows-1252.
    static CodePage ofLanguageDriver(std::uint8_t driver);

    int number() const noexcept { return number_; }
    bool isWindows1252() const noexcept { return number_ == 1252; }
    // False for the two drivers whose code pages are not converted here (Kamenický and
    // Mazovia): the engine refuses such tables rather than read their letters wrongly.
    bool supported() const noexcept { return number_ == 1252 || table_ != nullptr; }
    // For messages: "850", "895 (Kamenický)".
    std::string name() const;

    // The bytes as UTF-8. Exact for the single-byte pages (a byte the page leaves undefined
    // reads as U+FFFD); in the double-byte pages (932, 936, 949, 950) the characters
    // Windows-1252 lacks read as U+FFFD.
    std::string toUtf8(std::string_view bytes) const;
    // The bytes as Windows-1252 text; a character Windows-1252 lacks becomes '?', and `lost`
    // is set when that happened.
    std::string toCp1252(std::string_view bytes, bool& lost) const;
    // A Windows-1252 text in this page, at most `maxBytes` bytes long (a two-byte character
    // is never cut in half); a character the page lacks becomes '?'.
    std::string fromCp1252(std::string_view cp1252, std::size_t maxBytes) const;

private:
    int number_ = 1252;
    const tables::PageTable* table_ = nullptr;
};

}  // namespace thq::text
