// toInt32 on any bytes, checked against a plain model of the accepted forms: leading
// spaces, an optional sign, then decimal digits within the signed 32-bit range or "$", "x",
// "0x" (either case) and at most eight significant hexadecimal digits.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "data/error.hpp"
#include "data/text.hpp"

namespace {

bool allOf(std::string_view s, bool (*accepts)(char)) {
    for (char c : s) {
        if (!accepts(c)) return false;
    }
    return true;
}

bool isDecimal(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// What the conversion should give; nothing when it should refuse the text.
std::optional<std::int32_t> model(std::string_view s, bool& decimal) {
    s.remove_prefix(std::min(s.find_first_not_of(' '), s.size()));
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    std::string_view digits = s;
    bool hex = false;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        digits = s.substr(2);
    } else if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) {
        hex = true;
        digits = s.substr(1);
    }
    decimal = !hex;
    if (digits.empty() || !allOf(digits, hex ? isHex : isDecimal)) return std::nullopt;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (hex) {
        if (digits.size() > 8) return std::nullopt;
        std::uint32_t bits = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (digits.size() > 10) return std::nullopt;
    std::int64_t magnitude = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

[[noreturn]] void mismatch() {
    std::fprintf(stderr, "toInt32 and the model disagree\n");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool decimal = false;
    const std::optional<std::int32_t> expected = model(text, decimal);
    std::optional<std::int32_t> got;
    try {
        got = thq::text::toInt32(text);
    } catch (const thq::Error& e) {
        if (e.kind() != thq::ErrorKind::Conversion || e.value() != thq::text::cp1252ToUtf8(text))
            mismatch();
    }
    if (got != expected) mismatch();
    if (got && decimal && thq::text::toInt32(std::to_string(*got)) != *got) mismatch();
    return 0;
}
