#pragma once
// The generated code-page tables (code_page_tables.cpp, written by scripts/gen_code_pages.py).
// Only code_pages.cpp reads them.
#include <cstddef>

namespace thq::text::tables {

// Two bytes of a double-byte page (lead << 8 | trail) and the character they stand for.
struct BytePair {
    unsigned short bytes;
    char16_t codePoint;
};

struct DoubleBytePage {
    const char16_t* singles;     // the characters of the single bytes 0x80-0xFF (0xFFFD: none)
    const unsigned char* leads;  // 1 for the bytes 0x80-0xFF that lead a pair
    const BytePair* pairs;       // sorted by bytes; only characters Windows-1252 has
    std::size_t pairCount;
};

struct PageTable {
    int number;                        // 437, 850, 932...
    const char16_t* high;              // single-byte pages: the bytes 0x80-0xFF (0xFFFD: none)
    const DoubleBytePage* doubleByte;  // double-byte pages
};

extern const PageTable kPages[];
extern const std::size_t kPageCount;

}  // namespace thq::text::tables
