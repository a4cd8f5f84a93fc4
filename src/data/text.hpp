#pragma once
// Text helpers shared by the whole core.
//
// Inside the core, texts bound for or read from the work tables are 8-bit Windows-1252
// byte strings ("ANSI" texts); the XML layer speaks UTF-8. The conversions below are the
// only crossing between the two.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace thq::text {

// Removes every character of code 0 to 32 from both ends (a no-break space stays).
std::string_view trim(std::string_view s);
bool isBlank(std::string_view s);

// The first n characters of s (all of s when it is shorter).
std::string_view firstChars(std::string_view s, std::size_t n);

// Removes trailing blanks (and NUL padding): how a text field reads back.
std::string_view trimTrailingBlanks(std::string_view s);

// Text-to-integer conversion: leading spaces; optional sign; decimal digits within the
// signed 32-bit range, or hexadecimal after "$", "x" or "0x" (either case, at most eight
// significant digits, the 32 bits taken as they stand); nothing after the digits.
// Throws a Conversion thq::Error naming the whole text (its value()). `text` is Windows-1252.
std::int32_t toInt32(std::string_view text);

// Smallest whole number not below x.
double ceiling(double x);

// Letter-case changes of the ASCII letters only.
std::string upperAscii(std::string_view s);
std::string lowerAscii(std::string_view s);

// Letter-case folding for case-insensitive comparison of Windows-1252 texts: ASCII letters
// and the accented letters of the code page compare equal to their capitals.
std::string foldCase1252(std::string_view s);

// The error box's text: a full stop is added when the last character's code is above '.'.
std::string errorBoxText(std::string_view message);

// UTF-8 to Windows-1252; a character the code page lacks becomes '?'. Malformed UTF-8
// sequences also become '?'.
std::string utf8ToCp1252(std::string_view utf8);
// Windows-1252 to UTF-8 (the five undefined bytes map to the C1 controls).
std::string cp1252ToUtf8(std::string_view cp1252);
// True when every character of the UTF-8 text has a Windows-1252 byte.
bool representableInCp1252(std::string_view utf8);
// True when the text is well-formed UTF-8 (no overlong forms, surrogates or bytes
// beyond U+10FFFF).
bool isValidUtf8(std::string_view s);

// A text for a message or a one-line listing: control characters (C0, DEL, C1, the line and
// paragraph separators) written as escapes ("\n", "\x1B", "\u009B") and bytes that are not
// UTF-8 as "\xFF", so that no value from a document or a table can move the terminal's
// cursor, clear it, or start a line of its own.
std::string escapeControls(std::string_view utf8);
// A value quoted for a message: 'value', with its control characters escaped.
std::string quoted(std::string_view utf8);
// The character of a Windows-1252 byte. The five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the same number, as Windows' own
// conversion (MultiByteToWideChar) gives them, so that every byte survives a round trip.
char32_t cp1252CodePoint(unsigned char byte);
// The Windows-1252 byte of a character, or -1 when the code page lacks it.
int cp1252Byte(char32_t codePoint);
// Appends the UTF-8 form of a code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);
// Decodes the UTF-8 character at s[i] and advances i past it; nothing for a malformed
// sequence, which i then leaves behind (at least one byte).
std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& i);
// The characters [first, first + count) of a UTF-8 text, counted as utf8ToCp1252 counts them
// (one per character, one per malformed sequence): the part of the written text that bytes
// [first, first + count) of its Windows-1252 form came from.
std::string utf8Characters(std::string_view utf8, std::size_t first, std::size_t count);

// A CSV field (RFC 4180): as it is, or in double quotes with inner quotes doubled when it
// holds a comma, a quote or a line break.
std::string csvField(std::string_view value);

// Quotes a filter value: enclosed in single quotes, inner quotes doubled (O'NE -> 'O''NE').
std::string quoteFilterValue(std::string_view value);

}  // namespace thq::text
