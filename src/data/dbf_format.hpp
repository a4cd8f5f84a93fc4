#pragma once
// The bytes of a .DBF file: header and field descriptors, field values. Everything here is
// pure (no files) and bounds-checked; a problem throws thq::Error with the Spanish text of the
// problem without a path (DamagedTable for a file's bytes, Internal for fields that cannot be
// written), which the table engine turns into an error naming the file.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_fields.hpp"
#include "data/error.hpp"

namespace thq::data::dbf {

inline constexpr std::size_t kFileHeaderSize = 32;
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr char kHeaderTerminator = 0x0D;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kLiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';
inline constexpr std::uint8_t kVersionDbase3 = 0x03;
inline constexpr std::uint8_t kVersionDbase3Memo = 0x83;
inline constexpr std::uint8_t kCodePageWindows1252 = 0x57;
inline constexpr std::size_t kMaxFieldNameLength = 10;

// What the header of a table says, checked against itself and the file's size.
struct Layout {
    std::uint8_t version = kVersionDbase3;
    std::uint8_t languageDriver = 0;  // byte 29: the code page of the texts
    std::uint32_t recordCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    std::vector<FieldInfo> fields;
    std::vector<std::size_t> offsets;  // of each field within a record (after the flag)
};

// Runs one of the functions below: the problem it throws comes out naming the table's file.
template <typename Action>
decltype(auto) namingFile(const std::string& pathText, Action&& action) {
    try {
        return action();
    } catch (const Error& problem) {
        throw fileError(problem.kind(), pathText, problem.what());
    }
}

// The first 32 bytes: version, language driver, record count, header and record lengths.
// `fileSize` is the whole file's size. Throws (also for dBase 7 tables, whose
// header has another layout).
Layout parseFileHeader(std::span<const std::uint8_t> first32, std::uint64_t fileSize);
// The field descriptors of the header (the whole header, layout.headerLength bytes). Fills
// layout.fields and layout.offsets; throws.
void parseDescriptors(std::span<const std::uint8_t> header, Layout& layout);

// The header (with descriptors and terminator) of a dBase III+ table with these fields.
// Throws for a layout that cannot be written.
std::string encodeHeader(const std::vector<FieldInfo>& fields, std::uint32_t recordCount, int year,
                         int month, int day);
// A new table's whole file: the header for these fields, no record, the end-of-file mark.
// Throws for a layout that cannot be written.
std::string encodeEmptyTable(const std::vector<FieldSpec>& fields, int year, int month, int day);
// The 7 bytes from offset 1: last-update date and record count.
std::string encodeDateAndCount(std::uint32_t recordCount, int year, int month, int day);

// The dBase field for a field to create: Text -> C width, Integer -> N 11.0,
// Number -> N 18.4, Logical -> L 1.
FieldInfo fieldFor(const FieldSpec& definition);

// Right-aligned fixed-point text of `value` with `decimals` decimals, exactly `width`
// characters; nothing when it does not fit (or the value is not finite).
std::optional<std::string> formatNumber(double value, int width, int decimals);

// A numeric field's text (blanks around allowed): nothing when blank or not a number.
std::optional<double> parseNumber(std::string_view raw);
// A numeric field's text in its shortest decimal form ("3", "2.5", "-60"), "" when blank;
// the blank-trimmed text itself when it is not a number.
std::string numberText(std::string_view raw);

// A text field's value as read back: without trailing blanks and NUL padding.
std::string_view trimTrailing(std::string_view raw);

// Visual FoxPro tables (their B fields are 8-byte doubles and their fields carry flags).
bool isVisualFoxPro(std::uint8_t version);
// FoxPro and Visual FoxPro keep memos in an .FPT file; the dBase family in a .DBT file.
bool hasFoxProMemo(std::uint8_t version);
// Memo fields hold text in a memo file, found through the block number in the record.
bool isTextMemo(const FieldInfo& field);
// Why a field of this type cannot be read as text or number ("objeto OLE", ...); nothing
// when it can (C, N, F, L, D, I, Y, Visual FoxPro's B and the text memo M).
std::optional<std::string> unreadableType(const FieldInfo& field, std::uint8_t version);

// The value of a binary numeric field (I, Y, Visual FoxPro's B) from its bytes; nothing when
// it is not a finite number.
std::optional<double> binaryNumber(const FieldInfo& field, std::string_view raw);
// The decimal text of a currency field (Y): "12.5", "-3", "0.0001".
std::string currencyText(std::string_view raw);
// A double's shortest decimal text without exponent ("3", "2.5", "100000000000000000000").
std::string doubleText(double value);
// The bytes of a binary numeric field for a value; nothing when the value does not fit.
std::optional<std::string> encodeBinaryNumber(const FieldInfo& field, double value);

// Case-insensitive comparison of ASCII field names.
bool sameFieldName(std::string_view a, std::string_view b);

// Numeric fields held as decimal text: N and F.
bool isDecimalNumeric(char type);
// Fields held in binary: I (32-bit integer), Y (currency) and Visual FoxPro's B (double).
bool isBinaryNumber(const FieldInfo& field, std::uint8_t version);
// The logical value of a byte or a one-letter text: 'T' (T, t, Y, y), 'F' (F, f, N, n), or
// 0 when it is neither.
char logicalOf(char letter);

// For messages: a field name in «», a number in its shortest round-trip form, a type letter
// as itself or as its byte ("0x00") when it is no printable letter.
std::string quotedName(std::string_view name);
std::string shortestNumber(double value);
std::string typeLetter(char type);

}  // namespace thq::data::dbf
