#include "data/text.hpp"

#include <array>
#include <cmath>
#include <cstdint>

#include "data/error.hpp"

namespace thq::text {

namespace {

bool isTrimmable(char c) { return static_cast<unsigned char>(c) <= 32; }

// ---------------------------------------------------------------------------------------
// Windows-1252 tables.

// The code points of the bytes 0x80-0x9F. The five bytes the code page leaves undefined
// map to the C1 control of the same number, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t codePointOfByte(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
    return b;
}

// A byte's UTF-8 form: up to three bytes and their count.
struct Utf8Form {
    std::array<char, 3> bytes{};
    std::uint8_t size = 0;
};

constexpr Utf8Form encodeUtf8(char32_t cp) {
    Utf8Form f;
    if (cp < 0x80) {
        f.bytes[0] = static_cast<char>(cp);
        f.size = 1;
    } else if (cp < 0x800) {
        f.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        f.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        f.size = 2;
    } else {
        f.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        f.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        f.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        f.size = 3;
    }
    return f;
}

const std::array<Utf8Form, 256>& utf8OfByte() {
    static const std::array<Utf8Form, 256> table = [] {
        std::array<Utf8Form, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = encodeUtf8(codePointOfByte(static_cast<unsigned char>(b)));
        return t;
    }();
    return table;
}

// The Windows-1252 byte of a code point, or -1 when the code page lacks it.
int byteOfCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    switch (cp) {
        case 0x0081:
            return 0x81;
        case 0x008D:
            return 0x8D;
        case 0x008F:
            return 0x8F;
        case 0x0090:
            return 0x90;
        case 0x009D:
            return 0x9D;
        case 0x0152:
            return 0x8C;
        case 0x0153:
            return 0x9C;
        case 0x0160:
            return 0x8A;
        case 0x0161:
            return 0x9A;
        case 0x0178:
            return 0x9F;
        case 0x017D:
            return 0x8E;
        case 0x017E:
            return 0x9E;
        case 0x0192:
            return 0x83;
        case 0x02C6:
            return 0x88;
        case 0x02DC:
            return 0x98;
        case 0x2013:
            return 0x96;
        case 0x2014:
            return 0x97;
        case 0x2018:
            return 0x91;
        case 0x2019:
            return 0x92;
        case 0x201A:
            return 0x82;
        case 0x201C:
            return 0x93;
        case 0x201D:
            return 0x94;
        case 0x201E:
            return 0x84;
        case 0x2020:
            return 0x86;
        case 0x2021:
            return 0x87;
        case 0x2022:
            return 0x95;
        case 0x2026:
            return 0x85;
        case 0x2030:
            return 0x89;
        case 0x2039:
            return 0x8B;
        case 0x203A:
            return 0x9B;
        case 0x20AC:
            return 0x80;
        case 0x2122:
            return 0x99;
        default:
            return -1;
    }
}

const std::array<unsigned char, 256>& foldTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(b);
        for (int b = 'a'; b <= 'z'; ++b) t[b] = static_cast<unsigned char>(b - 0x20);
        for (int b = 0xE0; b <= 0xFE; ++b) {
            if (b != 0xF7) t[b] = static_cast<unsigned char>(b - 0x20);  // ÷ is no letter
        }
        t[0x9A] = 0x8A;  // š
        t[0x9C] = 0x8C;  // œ
        t[0x9E] = 0x8E;  // ž
        t[0xFF] = 0x9F;  // ÿ
        return t;
    }();
    return table;
}

// ---------------------------------------------------------------------------------------
// UTF-8 decoding.

constexpr char32_t kMalformed = 0xFFFFFFFF;

// Decodes the character at s[i], advancing i. A malformed sequence yields kMalformed and
// advances past its longest well-formed beginning (at least one byte), so that each
// broken sequence counts once.
char32_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length;
    char32_t cp;
    unsigned char low = 0x80;  // the allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        ++i;
        return kMalformed;
    }
    std::size_t k = i + 1;
    for (std::size_t n = 1; n < length; ++n, ++k) {
        if (k >= s.size()) {
            i = k;
            return kMalformed;
        }
        const unsigned char b = byteAt(k);
        const unsigned char lo = n == 1 ? low : 0x80;
        const unsigned char hi = n == 1 ? high : 0xBF;
        if (b < lo || b > hi) {
            i = k;
            return kMalformed;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i = k;
    return cp;
}

[[noreturn]] void refuseInteger(std::string_view text) {
    throw conversionError(cp1252ToUtf8(text));
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view trim(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && isTrimmable(s[begin])) ++begin;
    while (end > begin && isTrimmable(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

bool isBlank(std::string_view s) { return trim(s).empty(); }

std::string_view firstChars(std::string_view s, std::size_t n) { return s.substr(0, n); }

std::string_view trimTrailingBlanks(std::string_view s) {
    std::size_t end = s.size();
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\0')) --end;
    return s.substr(0, end);
}

std::int32_t toInt32(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    std::int32_t result;
    if (hex) {
        std::uint32_t value = 0;
        const std::size_t first = i;
        while (i < n && value <= 0x0FFFFFFFu) {
            const int digit = hexDigitValue(text[i]);
            if (digit < 0) break;
            value = (value << 4) | static_cast<std::uint32_t>(digit);
            ++i;
        }
        if (i == first || i != n) refuseInteger(text);
        // The 32 bits as they stand, then the sign, both wrapping.
        const std::uint32_t bits = negative ? 0u - value : value;
        result = static_cast<std::int32_t>(bits);
    } else {
        // Magnitudes are kept within 2^31, the largest the negative side accepts.
        constexpr std::uint64_t kLimit = 0x80000000u;
        std::uint64_t value = 0;
        const std::size_t first = i;
        while (i < n && isDecimalDigit(text[i])) {
            value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
            if (value > kLimit) refuseInteger(text);
            ++i;
        }
        if (i == first || i != n) refuseInteger(text);
        if (!negative && value == kLimit) refuseInteger(text);
        const std::uint32_t bits =
            negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        result = static_cast<std::int32_t>(bits);
    }
    return result;
}

double ceiling(double x) { return std::ceil(x); }

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string foldCase1252(std::string_view s) {
    const auto& table = foldTable();
    std::string out(s);
    for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

std::string errorBoxText(std::string_view message) {
    std::string out(message);
    if (!out.empty() && static_cast<unsigned char>(out.back()) > static_cast<unsigned char>('.')) {
        out.push_back('.');
    }
    return out;
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        // Runs of ASCII are copied as they stand.
        std::size_t run = i;
        while (run < n && static_cast<unsigned char>(utf8[run]) < 0x80) ++run;
        if (run > i) {
            out.append(utf8.data() + i, run - i);
            i = run;
            if (i == n) break;
        }
        const char32_t cp = decodeUtf8(utf8, i);
        const int byte = cp == kMalformed ? -1 : byteOfCodePoint(cp);
        out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
    const auto& table = utf8OfByte();
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 8);
    std::size_t i = 0;
    const std::size_t n = cp1252.size();
    while (i < n) {
        std::size_t run = i;
        while (run < n && static_cast<unsigned char>(cp1252[run]) < 0x80) ++run;
        if (run > i) {
            out.append(cp1252.data() + i, run - i);
            i = run;
            if (i == n) break;
        }
        const Utf8Form& form = table[static_cast<unsigned char>(cp1252[i])];
        out.append(form.bytes.data(), form.size);
        ++i;
    }
    return out;
}

bool representableInCp1252(std::string_view utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            continue;
        }
        const char32_t cp = decodeUtf8(utf8, i);
        if (cp == kMalformed || byteOfCodePoint(cp) < 0) return false;
    }
    return true;
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
        } else if (decodeUtf8(s, i) == kMalformed) {
            return false;
        }
    }
    return true;
}

namespace {

void appendHex(std::string& out, const char* prefix, std::uint32_t code, int digits) {
    static const char hex[] = "0123456789ABCDEF";
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += hex[(code >> shift) & 0xF];
}

}  // namespace

std::string escapeControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const char32_t code = decodeUtf8(utf8, i);
        if (code == kMalformed) {
            for (std::size_t k = start; k < i; ++k) {
                appendHex(out, "\\x", static_cast<unsigned char>(utf8[k]), 2);
            }
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            appendHex(out, "\\x", code, 2);
        } else if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) {
            appendHex(out, "\\u", code, 4);
        } else {
            out.append(utf8.substr(start, i - start));
        }
    }
    return out;
}

std::string quoted(std::string_view utf8) {
    std::string out = "'";
    out += escapeControls(utf8);
    out += '\'';
    return out;
}

char32_t cp1252CodePoint(unsigned char byte) { return codePointOfByte(byte); }

int cp1252Byte(char32_t codePoint) { return byteOfCodePoint(codePoint); }

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& i) {
    const char32_t cp = decodeUtf8(s, i);
    if (cp == kMalformed) return std::nullopt;
    return cp;
}

std::string utf8Characters(std::string_view utf8, std::size_t first, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; n < first && i < utf8.size(); ++n) decodeUtf8(utf8, i);
    const std::size_t begin = i;
    for (std::size_t n = 0; n < count && i < utf8.size(); ++n) decodeUtf8(utf8, i);
    return std::string(utf8.substr(begin, i - begin));
}

std::string quoteFilterValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out.push_back('\'');
    for (char c : value) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace thq::text
