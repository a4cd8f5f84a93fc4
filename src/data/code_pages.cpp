#include "data/code_pages.hpp"

#include <algorithm>
#include <array>

#include "data/code_page_tables.hpp"
#include "data/text.hpp"

namespace thq::text {
namespace {

constexpr char32_t kNoCharacter = 0xFFFD;

struct Driver {
    std::uint8_t id;
    int page;
};

// The language drivers of dBase, FoxPro and Clipper tables and their code pages.
constexpr std::array<Driver, 67> kDrivers = {{
    {0x01, 437},   {0x02, 850},   {0x03, 1252}, {0x04, 10000}, {0x08, 865},  {0x09, 437},
    {0x0A, 850},   {0x0B, 437},   {0x0D, 437},  {0x0E, 850},   {0x0F, 437},  {0x10, 850},
    {0x11, 437},   {0x12, 850},   {0x13, 932},  {0x14, 850},   {0x15, 437},  {0x16, 850},
    {0x17, 865},   {0x18, 437},   {0x19, 437},  {0x1A, 850},   {0x1B, 437},  {0x1C, 863},
    {0x1D, 850},   {0x1F, 852},   {0x22, 852},  {0x23, 852},   {0x24, 860},  {0x25, 850},
    {0x26, 866},   {0x37, 850},   {0x40, 852},  {0x4D, 936},   {0x4E, 949},  {0x4F, 950},
    {0x50, 874},   {0x57, 1252},  {0x58, 1252}, {0x59, 1252},  {0x64, 852},  {0x65, 866},
    {0x66, 865},   {0x67, 861},   {0x68, 895},  {0x69, 620},   {0x6A, 737},  {0x6B, 857},
    {0x6C, 863},   {0x78, 950},   {0x79, 949},  {0x7A, 936},   {0x7B, 932},  {0x7C, 874},
    {0x7D, 1255},  {0x7E, 1256},  {0x86, 737},  {0x87, 852},   {0x88, 857},  {0x96, 10007},
    {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251},  {0xCA, 1254}, {0xCB, 1253},
    {0xCC, 1257},
}};

const tables::PageTable* tableOf(int number) {
    for (std::size_t i = 0; i < tables::kPageCount; ++i) {
        if (tables::kPages[i].number == number) return &tables::kPages[i];
    }
    return nullptr;
}

// Walks the characters of a text in a code page: visit(code point, bytes it took).
template <typename Visit>
void forEachCharacter(const tables::PageTable* table, std::string_view bytes, Visit visit) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            visit(static_cast<char32_t>(byte), std::size_t{1});
            ++i;
        } else if (table == nullptr) {
            visit(cp1252CodePoint(byte), std::size_t{1});
            ++i;
        } else if (table->high != nullptr) {
            visit(static_cast<char32_t>(table->high[byte - 0x80]), std::size_t{1});
            ++i;
        } else {
            const tables::DoubleBytePage& page = *table->doubleByte;
            if (page.leads[byte - 0x80] == 0) {
                visit(static_cast<char32_t>(page.singles[byte - 0x80]), std::size_t{1});
                ++i;
                continue;
            }
            // A lead byte without a trail byte after it (at the end of the text, or before
            // a byte no pair ends with) stands for no character; the next byte is read anew.
            if (i + 1 >= bytes.size() || static_cast<unsigned char>(bytes[i + 1]) < 0x40) {
                visit(kNoCharacter, std::size_t{1});
                ++i;
                continue;
            }
            const auto pair =
                static_cast<unsigned short>(byte << 8 | static_cast<unsigned char>(bytes[i + 1]));
            const auto* end = page.pairs + page.pairCount;
            const auto* found = std::lower_bound(
                page.pairs, end, pair,
                [](const tables::BytePair& p, unsigned short key) { return p.bytes < key; });
            visit(found != end && found->bytes == pair ? static_cast<char32_t>(found->codePoint)
                                                       : kNoCharacter,
                  std::size_t{2});
            i += 2;
        }
    }
}

// The bytes of a character in a code page; empty when the page lacks it.
std::string bytesOf(const tables::PageTable* table, char32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    if (cp == kNoCharacter) return {};
    if (table == nullptr) {
        const int byte = cp1252Byte(cp);
        return byte < 0 ? std::string() : std::string(1, static_cast<char>(byte));
    }
    if (table->high != nullptr) {
        for (int b = 0; b < 128; ++b) {
            if (table->high[b] == cp) return std::string(1, static_cast<char>(0x80 + b));
        }
        return {};
    }
    const tables::DoubleBytePage& page = *table->doubleByte;
    for (int b = 0; b < 128; ++b) {
        if (page.leads[b] == 0 && page.singles[b] == cp) {
            return std::string(1, static_cast<char>(0x80 + b));
        }
    }
    for (std::size_t k = 0; k < page.pairCount; ++k) {
        if (page.pairs[k].codePoint == cp) {
            return {static_cast<char>(page.pairs[k].bytes >> 8),
                    static_cast<char>(page.pairs[k].bytes & 0xFF)};
        }
    }
    return {};
}

}  // namespace

CodePage CodePage::ofLanguageDriver(std::uint8_t driver) {
    CodePage page;
    for (const Driver& known : kDrivers) {
        if (known.id != driver) continue;
        page.number_ = known.page;
        page.table_ = tableOf(known.page);
        break;
    }
    return page;
}

std::string CodePage::name() const {
    std::string shown = std::to_string(number_);
    if (number_ == 895) shown += " (Kamenický)";
    if (number_ == 620) shown += " (Mazovia)";
    return shown;
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    if (isWindows1252()) return cp1252ToUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    forEachCharacter(table_, bytes, [&](char32_t cp, std::size_t) { appendUtf8(out, cp); });
    return out;
}

std::string CodePage::toCp1252(std::string_view bytes, bool& lost) const {
    if (isWindows1252()) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    forEachCharacter(table_, bytes, [&](char32_t cp, std::size_t) {
        const int byte = cp == kNoCharacter ? -1 : cp1252Byte(cp);
        if (byte < 0) lost = true;
        out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    });
    return out;
}

std::string CodePage::fromCp1252(std::string_view cp1252, std::size_t maxBytes) const {
    if (isWindows1252()) return std::string(cp1252.substr(0, std::min(maxBytes, cp1252.size())));
    std::string out;
    for (const char c : cp1252) {
        const std::string bytes =
            bytesOf(table_, cp1252CodePoint(static_cast<unsigned char>(c)));
        const std::string_view piece = bytes.empty() ? std::string_view("?") : bytes;
        if (out.size() + piece.size() > maxBytes) break;
        out.append(piece);
    }
    return out;
}

}  // namespace thq::text
