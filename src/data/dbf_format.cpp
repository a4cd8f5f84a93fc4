#include "data/dbf_format.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "data/error.hpp"
#include "data/little_endian.hpp"

namespace thq::data::dbf {
namespace {

// A file whose bytes are not a table's.
[[noreturn]] void problem(const std::string& message) {
    throw Error(ErrorKind::DamagedTable, message);
}

// Fields that no table can be made of.
[[noreturn]] void unwritable(const std::string& message) {
    throw Error(ErrorKind::Internal, message);
}

// Version bytes of the dBase family (dBase III/IV/7 with or without memo, FoxBASE, FoxPro,
// Visual FoxPro, Clipper variants). The layout itself is always taken from the header.
bool knownVersion(std::uint8_t version) {
    static constexpr std::array<std::uint8_t, 18> versions = {0x02, 0x03, 0x04, 0x05, 0x30, 0x31,
                                                              0x32, 0x43, 0x63, 0x7B, 0x83, 0x8B,
                                                              0x8C, 0x8E, 0xCB, 0xE5, 0xF5, 0xFB};
    return std::find(versions.begin(), versions.end(), version) != versions.end();
}

bool isBlankByte(char c) { return c == ' ' || c == '\0'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBoth(std::string_view raw) {
    std::size_t begin = 0;
    while (begin < raw.size() && isBlankByte(raw[begin])) ++begin;
    return trimTrailing(raw.substr(begin));
}

// "-007.2500" -> "-7.25"; nothing when the text is not a plain decimal number.
std::optional<std::string> normalizeDecimal(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::size_t point = s.find('.');
    std::string_view whole = s.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : s.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (!std::all_of(whole.begin(), whole.end(), isDigit) ||
        !std::all_of(fraction.begin(), fraction.end(), isDigit)) {
        return std::nullopt;
    }
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (whole.empty() && fraction.empty()) return "0";
    std::string out = negative ? "-" : "";
    out += whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty()) {
        out.push_back('.');
        out.append(fraction);
    }
    return out;
}

}  // namespace

std::string quotedName(std::string_view name) { return "«" + std::string(name) + "»"; }

std::string shortestNumber(double value) {
    std::array<char, 64> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc{} ? std::string(buffer.data(), end) : std::string("?");
}

std::string typeLetter(char type) {
    const auto code = static_cast<unsigned char>(type);
    if (code > 32 && code < 127) return std::string(1, type);
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[code >> 4] + digits[code & 0xF];
}

bool isDecimalNumeric(char type) { return type == 'N' || type == 'F'; }

bool isBinaryNumber(const FieldInfo& field, std::uint8_t version) {
    return field.type == 'I' || field.type == 'Y' || (field.type == 'B' && isVisualFoxPro(version));
}

char logicalOf(char letter) {
    switch (letter) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return 'T';
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return 'F';
        default:
            return 0;
    }
}

Layout parseFileHeader(std::span<const std::uint8_t> first32, std::uint64_t fileSize) {
    if (first32.size() < kFileHeaderSize || fileSize < kFileHeaderSize) {
        problem("archivo dañado: la cabecera está incompleta");
    }
    Layout layout;
    layout.version = first32[0];
    // dBase 7 (0x04, and 0x8C with memo) has a longer header and 48-byte field descriptors:
    // read as dBase III it would give nonsense fields, so it is refused by name.
    if (layout.version == 0x04 || layout.version == 0x8C) {
        problem("dBase 7 no admitido: guarde la tabla como dBase III, dBase IV o Visual FoxPro");
    }
    if (!knownVersion(layout.version)) problem("no es una tabla dBase");
    layout.languageDriver = first32[29];
    layout.recordCount = bytes::loadU32(first32.data() + 4);
    layout.headerLength = bytes::loadU16(first32.data() + 8);
    layout.recordLength = bytes::loadU16(first32.data() + 10);
    if (layout.headerLength < kFileHeaderSize + kDescriptorSize + 1) {
        problem("archivo dañado: la longitud de la cabecera (" +
                std::to_string(layout.headerLength) + ") no deja sitio para los campos");
    }
    if (layout.headerLength > fileSize) {
        problem("archivo dañado: la longitud de la cabecera (" +
                std::to_string(layout.headerLength) + ") no cabe en el archivo");
    }
    if (layout.recordLength < 2) {
        problem("archivo dañado: la longitud de registro (" + std::to_string(layout.recordLength) +
                ") no es válida");
    }
    // 64-bit arithmetic: count * length cannot overflow (2^32 * 2^16).
    std::uint64_t dataBytes = static_cast<std::uint64_t>(layout.recordCount) * layout.recordLength;
    if (dataBytes > fileSize - layout.headerLength) {
        problem("archivo dañado: el número de registros (" + std::to_string(layout.recordCount) +
                ") no cabe en el archivo");
    }
    return layout;
}

void parseDescriptors(std::span<const std::uint8_t> header, Layout& layout) {
    const std::size_t length = std::min<std::size_t>(header.size(), layout.headerLength);
    layout.fields.clear();
    layout.offsets.clear();
    std::size_t position = kFileHeaderSize;
    std::size_t recordBytes = 1;  // the deletion flag
    for (;;) {
        if (position >= length) problem("archivo dañado: falta el final de la lista de campos");
        if (header[position] == static_cast<std::uint8_t>(kHeaderTerminator)) break;
        if (position + kDescriptorSize > length) {
            problem("archivo dañado: falta el final de la lista de campos");
        }
        const std::uint8_t* d = header.data() + position;
        FieldInfo field;
        const char* name = reinterpret_cast<const char*>(d);
        field.name.assign(name, std::find(name, name + 11, '\0'));
        field.type = static_cast<char>(d[11]);
        field.width = d[16];
        field.decimals = d[17];
        if (field.width == 0)
            problem("archivo dañado: el campo " + quotedName(field.name) + " tiene ancho cero");
        // Binary fields have one width; any other would read past the field.
        const int binaryWidth = field.type == 'I'                                     ? 4
                                : field.type == 'Y'                                   ? 8
                                : field.type == 'B' && isVisualFoxPro(layout.version) ? 8
                                                                                      : 0;
        if (binaryWidth != 0 && field.width != binaryWidth) {
            problem("archivo dañado: el campo " + quotedName(field.name) + " de tipo " +
                    std::string(1, field.type) + " no tiene ancho " + std::to_string(binaryWidth));
        }
        // Visual FoxPro marks its own bookkeeping fields (the null flags) as system fields.
        field.system = isVisualFoxPro(layout.version) && (d[18] & 0x01) != 0;
        layout.offsets.push_back(recordBytes - 1);
        recordBytes += static_cast<std::size_t>(field.width);
        layout.fields.push_back(std::move(field));
        position += kDescriptorSize;
    }
    if (layout.fields.empty()) problem("archivo dañado: la tabla no tiene campos");
    if (recordBytes != layout.recordLength) {
        problem("archivo dañado: la longitud de registro (" + std::to_string(layout.recordLength) +
                ") no coincide con la de los campos (" + std::to_string(recordBytes) + ")");
    }
}

FieldInfo fieldFor(const FieldSpec& definition) {
    switch (definition.type) {
        case FieldType::Integer:
            return {definition.name, 'N', 11, 0};
        case FieldType::Number:
            return {definition.name, 'N', 18, 4};
        case FieldType::Logical:
            return {definition.name, 'L', 1, 0};
        case FieldType::Text:
            break;
    }
    return {definition.name, 'C', definition.width, 0};
}

std::string encodeDateAndCount(std::uint32_t recordCount, int year, int month, int day) {
    std::string out(7, '\0');
    out[0] = static_cast<char>(std::clamp(year - 1900, 0, 255));
    out[1] = static_cast<char>(std::clamp(month, 1, 12));
    out[2] = static_cast<char>(std::clamp(day, 1, 31));
    bytes::storeU32(out.data() + 3, recordCount);
    return out;
}

std::string encodeHeader(const std::vector<FieldInfo>& fields, std::uint32_t recordCount, int year,
                         int month, int day) {
    if (fields.empty()) unwritable("la tabla no tiene campos");
    const std::size_t headerLength = kFileHeaderSize + kDescriptorSize * fields.size() + 1;
    std::size_t recordLength = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldInfo& field = fields[i];
        if (field.name.empty() || field.name.size() > kMaxFieldNameLength ||
            field.name.find('\0') != std::string::npos) {
            unwritable("el nombre de campo " + quotedName(field.name) + " no es válido");
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (sameFieldName(fields[j].name, field.name)) {
                unwritable("el campo " + quotedName(field.name) + " está repetido");
            }
        }
        if (field.width < 1 || field.width > 255 || field.decimals < 0 ||
            (field.decimals > 0 && field.decimals >= field.width - 1)) {
            unwritable("el campo " + quotedName(field.name) + " tiene un ancho no válido (" +
                       std::to_string(field.width) + ")");
        }
        recordLength += static_cast<std::size_t>(field.width);
    }
    if (headerLength > 0xFFFF || recordLength > 0xFFFF)
        unwritable("la tabla tiene demasiados campos");

    std::string out(headerLength, '\0');
    out[0] = static_cast<char>(kVersionDbase3);
    out.replace(1, 7, encodeDateAndCount(recordCount, year, month, day));
    bytes::storeU16(out.data() + 8, static_cast<std::uint16_t>(headerLength));
    bytes::storeU16(out.data() + 10, static_cast<std::uint16_t>(recordLength));
    out[29] = static_cast<char>(kCodePageWindows1252);
    std::size_t position = kFileHeaderSize;
    for (const FieldInfo& field : fields) {
        out.replace(position, field.name.size(), field.name);
        out[position + 11] = field.type;
        out[position + 16] = static_cast<char>(field.width);
        out[position + 17] = static_cast<char>(field.decimals);
        position += kDescriptorSize;
    }
    out[position] = kHeaderTerminator;
    return out;
}

std::string encodeEmptyTable(const std::vector<FieldSpec>& fields, int year, int month, int day) {
    std::vector<FieldInfo> infos;
    infos.reserve(fields.size());
    for (const auto& definition : fields) infos.push_back(fieldFor(definition));
    std::string out = encodeHeader(infos, 0, year, month, day);
    out += kEndOfFile;
    return out;
}

std::optional<std::string> formatNumber(double value, int width, int decimals) {
    if (!std::isfinite(value) || width <= 0) return std::nullopt;
    std::array<char, 400> buffer{};  // DBL_MAX in fixed notation has 309 digits
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (error != std::errc{}) return std::nullopt;
    std::string text(buffer.data(), end);
    // A value that rounds to zero is written without a sign.
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) {
        text.erase(0, 1);
    }
    if (text.size() > static_cast<std::size_t>(width)) return std::nullopt;
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::optional<double> parseNumber(std::string_view raw) {
    std::string_view s = trimBoth(raw);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    double value = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc{} || end != s.data() + s.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string numberText(std::string_view raw) {
    std::string_view s = trimBoth(raw);
    if (s.empty()) return {};
    if (auto decimal = normalizeDecimal(s)) return *decimal;
    if (auto value = parseNumber(s)) {
        // An exponent form ("1.5E+3") in a float field: shortest fixed notation.
        std::array<char, 400> buffer{};
        double v = *value == 0 ? 0.0 : *value;
        auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                          std::chars_format::fixed);
        if (error == std::errc{}) return std::string(buffer.data(), end);
    }
    return std::string(s);
}

bool isVisualFoxPro(std::uint8_t version) {
    return version == 0x30 || version == 0x31 || version == 0x32;
}

bool hasFoxProMemo(std::uint8_t version) {
    return isVisualFoxPro(version) || version == 0xF5 || version == 0xFB;
}

bool isTextMemo(const FieldInfo& field) { return field.type == 'M'; }

std::optional<std::string> unreadableType(const FieldInfo& field, std::uint8_t version) {
    switch (field.type) {
        case 'C':
        case 'N':
        case 'F':
        case 'L':
        case 'D':
        case 'I':
        case 'Y':
        case 'M':
            return std::nullopt;
        case 'B':
            if (isVisualFoxPro(version)) return std::nullopt;
            return "memo binario";
        case 'G':
            return "objeto OLE";
        case 'P':
            return "imagen";
        case 'W':
            return "blob";
        case 'T':
            return "fecha y hora";
        case 'V':
            return "varchar";
        case 'Q':
            return "varbinary";
        case '0':
            return "indicadores de nulos";
        case '@':
            return "marca de tiempo";
        case '+':
            return "autoincremento";
        case 'O':
            return "doble de dBase 7";
        default:
            return "desconocido";
    }
}

std::optional<double> binaryNumber(const FieldInfo& field, std::string_view raw) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.data());
    switch (field.type) {
        case 'I':
            if (raw.size() < 4) return std::nullopt;
            return static_cast<std::int32_t>(bytes::loadU32(p));
        case 'Y': {
            if (raw.size() < 8) return std::nullopt;
            const std::uint64_t bits = bytes::loadU64(p);
            return static_cast<double>(static_cast<std::int64_t>(bits)) / 10000.0;
        }
        case 'B': {
            if (raw.size() < 8) return std::nullopt;
            const std::uint64_t bits = bytes::loadU64(p);
            const double value = std::bit_cast<double>(bits);
            if (!std::isfinite(value)) return std::nullopt;
            return value;
        }
        default:
            return std::nullopt;
    }
}

std::string currencyText(std::string_view raw) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.data());
    const std::uint64_t bits = bytes::loadU64(p);
    const auto value = static_cast<std::int64_t>(bits);
    // The magnitude as unsigned, so that the most negative value has one too.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string out = value < 0 ? "-" : "";
    out += std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) out += "." + fraction;
    return out;
}

std::string doubleText(double value) {
    if (value == 0) value = 0;  // no "-0"
    std::array<char, 400> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    return error == std::errc{} ? std::string(buffer.data(), end) : std::string();
}

std::optional<std::string> encodeBinaryNumber(const FieldInfo& field, double value) {
    std::uint64_t bits = 0;
    std::size_t size = 8;
    if (field.type == 'I') {
        const double rounded = std::nearbyint(value);
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            return std::nullopt;
        }
        bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded));
        size = 4;
    } else if (field.type == 'Y') {
        const double units = std::nearbyint(value * 10000.0);
        // 2^63 is exactly representable; anything from there on does not fit.
        if (!(units >= -9223372036854775808.0 && units < 9223372036854775808.0)) {
            return std::nullopt;
        }
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(units));
    } else if (field.type == 'B') {
        if (!std::isfinite(value)) return std::nullopt;
        bits = std::bit_cast<std::uint64_t>(value);
    } else {
        return std::nullopt;
    }
    std::string out(size, '\0');
    bytes::store(out.data(), bits, size);
    return out;
}

std::string_view trimTrailing(std::string_view raw) {
    std::size_t end = raw.size();
    while (end > 0 && isBlankByte(raw[end - 1])) --end;
    return raw.substr(0, end);
}

bool sameFieldName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

}  // namespace thq::data::dbf
