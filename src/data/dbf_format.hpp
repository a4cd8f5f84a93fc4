#pragma once
// The bytes of a .DBF file: header and field descriptors, field values. Everything here is
// pure (no files) and bounds-checked; problems come back as the Spanish text of the problem,
// which the table engine turns into an error naming the file.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_table.hpp"

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

// A problem with the file's bytes (the message is the problem in Spanish, without the path).
struct FormatProblem {
    std::string message;
};

// The first 32 bytes: version, language driver, record count, header and record lengths.
// `fileSize` is the whole file's size. Throws FormatProblem (also for dBase 7 tables, whose
// header has another layout).
Layout parseFileHeader(std::span<const std::uint8_t> first32, std::uint64_t fileSize);
// The field descriptors of the header (the whole header, layout.headerLength bytes). Fills
// layout.fields and layout.offsets; throws FormatProblem.
void parseDescriptors(std::span<const std::uint8_t> header, Layout& layout);

// The header (with descriptors and terminator) of a dBase III+ table with these fields.
// Throws FormatProblem for a layout that cannot be written.
std::string encodeHeader(const std::vector<FieldInfo>& fields, std::uint32_t recordCount, int year,
                         int month, int day);
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

std::uint16_t readU16(const std::uint8_t* p);
std::uint32_t readU32(const std::uint8_t* p);

}  // namespace thq::data::dbf
