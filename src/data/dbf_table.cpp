#include "data/dbf_table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "data/code_pages.hpp"
#include "data/dbf_format.hpp"
#include "data/dbf_record_store.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::data {
namespace {

std::string inQuotes(std::string_view name) { return "«" + std::string(name) + "»"; }

// A number for a message: its shortest round-trip form.
std::string shortest(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

bool isNumericType(char type) { return type == 'N' || type == 'F'; }

// Fields held in binary: I (32-bit integer), Y (currency) and Visual FoxPro's B (double).
bool isBinaryNumber(const FieldInfo& field, std::uint8_t version) {
    return field.type == 'I' || field.type == 'Y' ||
           (field.type == 'B' && dbf::isVisualFoxPro(version));
}

// The type letter for a message: the letter itself, or its byte when it is no letter.
std::string typeLetter(char type) {
    const auto code = static_cast<unsigned char>(type);
    if (code > 32 && code < 127) return std::string(1, type);
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[code >> 4] + digits[code & 0xF];
}

std::uint32_t readU32BigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

enum class Charset { Cp1252, Utf8 };

// The logical value of a field's byte: 'T', 'F' or 0 when unset.
char logicalOf(char raw) {
    switch (raw) {
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

std::int32_t readI32(std::string_view raw) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(raw.data());
    return static_cast<std::int32_t>(dbf::readU32(p));
}

// The one filter form: FIELD= 'value' (inner quotes doubled).
struct Filter {
    std::string field;
    std::string value;
};

std::optional<Filter> parseFilter(std::string_view text) {
    Filter filter;
    std::size_t i = 0;
    auto isNameChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
    };
    while (i < text.size() && isNameChar(text[i])) ++i;
    if (i == 0) return std::nullopt;
    filter.field = std::string(text.substr(0, i));
    if (text.substr(i, 3) != "= '") return std::nullopt;
    i += 3;
    for (;;) {
        if (i >= text.size()) return std::nullopt;  // no closing quote
        char c = text[i++];
        if (c != '\'') {
            filter.value += c;
            continue;
        }
        if (i < text.size() && text[i] == '\'') {
            filter.value += '\'';
            ++i;
            continue;
        }
        break;  // the closing quote
    }
    if (i != text.size()) return std::nullopt;
    return filter;
}

}  // namespace

struct DbfTable::Impl {
    std::filesystem::path path;
    std::string pathText;
    std::vector<FieldSpec> defined;

    platform::File file;
    bool isOpen = false;
    bool readOnly = false;
    bool dirty = false;
    dbf::Layout layout;
    text::CodePage codePage;
    std::function<void(const LossyText&)> lossyListener;

    // The memo file (.DBT or .FPT), opened at the first memo read.
    mutable platform::File memo;
    mutable std::uint64_t memoSize = 0;
    mutable std::uint32_t memoBlockSize = 0;
    // The records, read from the file as they are asked for. A view that record() gives is
    // good only until the next record() (see RecordStore): nothing here keeps one longer.
    RecordStore records;
    // Records not marked deleted: counted at the first recordCount() (a scan of the whole
    // table), then kept up to date by post.
    mutable std::optional<std::size_t> liveCount;

    std::size_t current = 0;
    bool atEof = true;

    bool pending = false;
    std::string pendingRecord;
    std::vector<std::optional<double>> pendingNumbers;

    std::string filterText;
    std::optional<Filter> filter;
    bool filterWanted = false;  // filterOn() was called (applies once open)
    bool filterActive = false;  // on, with its field resolved in the open table
    std::size_t filterField = 0;
    std::size_t filteredCount = 0;

    [[noreturn]] void fail(const std::string& problem) const {
        throw Error(fileMessage(pathText, problem));
    }

    void requireOpen() const {
        if (!isOpen) fail("la tabla no está abierta");
    }

    void requirePending() const {
        requireOpen();
        if (!pending) fail("no hay ningún registro nuevo en curso");
    }

    std::size_t fieldIndex(std::string_view name) const {
        requireOpen();
        const auto& fields = layout.fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (dbf::sameFieldName(fields[i].name, name)) return i;
        }
        fail("la tabla no tiene el campo " + inQuotes(name));
    }

    std::string_view record(std::size_t index) const { return records.record(index); }

    std::size_t countLive() const {
        if (!liveCount) {
            std::size_t live = 0;
            for (std::size_t i = 0; i < layout.recordCount; ++i) {
                if (isLive(i)) ++live;
            }
            liveCount = live;
        }
        return *liveCount;
    }

    static std::string_view fieldBytes(std::string_view record, const dbf::Layout& layout,
                                       std::size_t field) {
        return record.substr(1 + layout.offsets[field],
                             static_cast<std::size_t>(layout.fields[field].width));
    }

    // The record that reads see: the one being appended, else the current one.
    std::string_view currentRecord() const {
        requireOpen();
        if (pending) return pendingRecord;
        if (atEof) fail("no hay registro actual");
        return record(current);
    }

    void requireReadableAt(std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        if (auto why = dbf::unreadableType(info, layout.version)) {
            fail("el campo " + inQuotes(info.name) + " es de tipo " + typeLetter(info.type) + " (" +
                 *why + "), que no se puede leer");
        }
    }

    // The memo file beside the table: same name, .DBT (dBase) or .FPT (FoxPro), its
    // extension in the letter case of the table's own, else in the other.
    std::filesystem::path memoPath() const {
        const bool fox = dbf::hasFoxProMemo(layout.version);
        const std::string extension = path.extension().string();
        const bool lower = !extension.empty() && extension.back() >= 'a' && extension.back() <= 'z';
        const std::string upperName = fox ? ".FPT" : ".DBT";
        const std::string lowerName = fox ? ".fpt" : ".dbt";
        auto first = path;
        first.replace_extension(lower ? lowerName : upperName);
        if (platform::fileExists(first)) return first;
        auto second = path;
        second.replace_extension(lower ? upperName : lowerName);
        if (platform::fileExists(second)) return second;
        return first;
    }

    [[noreturn]] void failMemo(const std::string& problem) const {
        throw Error(fileMessage(platform::displayPath(memo.path()), problem));
    }

    void openMemo() const {
        if (memo.isOpen()) return;
        const auto memoFile = memoPath();
        if (!platform::fileExists(memoFile)) {
            fail("falta el archivo de memos " + platform::displayPath(memoFile.filename()));
        }
        memo = platform::File::open(memoFile, platform::OpenIntent::ReadOnly,
                                    platform::ShareMode::NoWriters);
        memoSize = memo.size();
        std::uint8_t header[24] = {};
        const std::size_t got = memo.readAt(0, header, sizeof header);
        if (dbf::hasFoxProMemo(layout.version)) {
            memoBlockSize = got >= 8 ? static_cast<std::uint32_t>(header[6] << 8 | header[7]) : 0;
        } else if (layout.version == dbf::kVersionDbase3Memo) {
            memoBlockSize = 512;  // dBase III memos have no block size of their own
        } else {
            memoBlockSize = got >= 22 ? dbf::readU16(header + 20) : 0;
            if (memoBlockSize == 0) memoBlockSize = 512;
        }
        if (memoBlockSize == 0) failMemo("archivo de memos dañado: el tamaño de bloque es cero");
    }

    // The memo a memo field points to, as the bytes of its text.
    std::string memoBytes(std::string_view raw, const FieldInfo& info) const {
        std::uint64_t block = 0;
        if (info.width == 4) {  // Visual FoxPro: a binary block number
            block = dbf::readU32(reinterpret_cast<const std::uint8_t*>(raw.data()));
        } else {
            std::string_view digits = dbf::trimTrailing(raw);
            while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
            for (char c : digits) {
                if (c < '0' || c > '9') {
                    fail("el campo " + inQuotes(info.name) +
                         " no tiene un número de bloque de memo válido: '" + std::string(digits) +
                         "'");
                }
                block = block * 10 + static_cast<std::uint64_t>(c - '0');
                if (block > 0xFFFFFFFFu) break;
            }
        }
        if (block == 0) return {};
        openMemo();
        const std::uint64_t offset = block * memoBlockSize;
        if (block > 0xFFFFFFFFu || offset >= memoSize) {
            failMemo("archivo de memos dañado: el bloque " + std::to_string(block) + " del campo " +
                     inQuotes(info.name) + " no está en el archivo");
        }
        std::uint8_t head[8] = {};
        const std::size_t headSize = memo.readAt(offset, head, sizeof head);
        std::uint64_t start = offset;
        std::uint64_t length = 0;
        const bool dbase4 =
            headSize == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0;
        if ((dbf::hasFoxProMemo(layout.version) || dbase4) && headSize < 8) {
            failMemo("archivo de memos dañado: el bloque " + std::to_string(block) + " del campo " +
                     inQuotes(info.name) + " está cortado");
        }
        if (dbf::hasFoxProMemo(layout.version)) {
            start = offset + 8;
            length = readU32BigEndian(head + 4);
        } else if (dbase4) {
            // dBase IV: the length counts the eight bytes of the block's head.
            start = offset + 8;
            const std::uint32_t total = dbf::readU32(head + 4);
            length = total >= 8 ? total - 8 : 0;
        } else {
            // dBase III: the text runs to its end mark (0x1A) or to the end of the file.
            std::string text;
            char chunk[512];
            for (std::uint64_t at = offset; at < memoSize;) {
                const std::size_t got = memo.readAt(at, chunk, sizeof chunk);
                if (got == 0) break;
                const std::string_view part(chunk, got);
                const std::size_t end = part.find(dbf::kEndOfFile);
                text.append(part.substr(0, end));
                if (end != std::string_view::npos) break;
                at += got;
            }
            return text;
        }
        if (length > memoSize - start) {
            failMemo("archivo de memos dañado: el memo del bloque " + std::to_string(block) +
                     " del campo " + inQuotes(info.name) + " no cabe en el archivo");
        }
        std::string text(static_cast<std::size_t>(length), '\0');
        if (memo.readAt(start, text.data(), text.size()) != text.size()) {
            failMemo("archivo de memos dañado: el memo del bloque " + std::to_string(block) +
                     " no cabe en el archivo");
        }
        return text;
    }

    // A text or memo field's bytes in the table's code page, converted. `notify` tells the
    // listener of characters Windows-1252 lacks (a read by the caller, not a filter's).
    std::string convertText(std::string_view bytes, std::size_t field, Charset out,
                            bool notify) const {
        if (out == Charset::Utf8) return codePage.toUtf8(bytes);
        bool lost = false;
        std::string converted = codePage.toCp1252(bytes, lost);
        if (lost && notify && lossyListener) {
            lossyListener(LossyText{atEof || pending ? layout.recordCount : current,
                                    layout.fields[field].name, codePage.toUtf8(bytes), converted});
        }
        return converted;
    }

    std::string textOf(std::string_view rec, std::size_t field, Charset out = Charset::Cp1252,
                       bool notify = false) const {
        const FieldInfo& info = layout.fields[field];
        requireReadableAt(field);
        std::string_view raw = fieldBytes(rec, layout, field);
        if (isBinaryNumber(info, layout.version)) {
            if (info.type == 'Y') return dbf::currencyText(raw);
            if (info.type == 'I') return std::to_string(readI32(raw));
            auto value = dbf::binaryNumber(info, raw);
            if (!value) fail("el campo " + inQuotes(info.name) + " no tiene un número válido");
            return dbf::doubleText(*value);
        }
        switch (info.type) {
            case 'N':
            case 'F':
                return dbf::numberText(raw);
            case 'L': {
                char value = logicalOf(raw[0]);
                return value == 0 ? std::string() : std::string(1, value);
            }
            case 'D':
                return dbf::trimTrailing(raw).empty() ? std::string() : std::string(raw);
            case 'M':
                return convertText(memoBytes(raw, info), field, out, notify);
            default:
                return convertText(dbf::trimTrailing(raw), field, out, notify);
        }
    }

    // The numeric value of a field; nothing when it is empty.
    std::optional<double> numberOf(std::string_view rec, std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        requireReadableAt(field);
        std::string_view raw = fieldBytes(rec, layout, field);
        if (isBinaryNumber(info, layout.version)) {
            auto value = dbf::binaryNumber(info, raw);
            if (!value) fail("el campo " + inQuotes(info.name) + " no tiene un número válido");
            return value;
        }
        if (dbf::isTextMemo(info)) fail("el campo " + inQuotes(info.name) + " no es numérico");
        if (dbf::trimTrailing(raw).find_first_not_of(' ') == std::string_view::npos) {
            return std::nullopt;
        }
        auto value = dbf::parseNumber(raw);
        if (!value) {
            // Only blanks are trimmed: a control character is part of what is shown.
            std::string_view shown = dbf::trimTrailing(raw);
            shown.remove_prefix(std::min(shown.find_first_not_of(' '), shown.size()));
            fail("el campo " + inQuotes(info.name) + " no tiene un número válido: " +
                 text::quoted(convertText(shown, field, Charset::Utf8, false)));
        }
        return value;
    }

    bool isLive(std::size_t index) const { return record(index)[0] != dbf::kDeletedFlag; }

    bool passes(std::size_t index) const {
        if (!isLive(index)) return false;
        if (!filterActive) return true;
        return textOf(record(index), filterField) == filter->value;
    }

    void moveFrom(std::size_t start) {
        for (std::size_t i = start; i < layout.recordCount; ++i) {
            if (passes(i)) {
                current = i;
                atEof = false;
                return;
            }
        }
        current = layout.recordCount;
        atEof = true;
    }

    void applyFilter() {
        filterActive = false;
        if (!filterWanted || !filter) return;
        filterField = fieldIndex(filter->field);
        filterActive = true;
        filteredCount = 0;
        for (std::size_t i = 0; i < layout.recordCount; ++i) {
            if (passes(i)) ++filteredCount;
        }
    }

    void setNumberAt(std::size_t field, double value) {
        const FieldInfo& info = layout.fields[field];
        char* target = pendingRecord.data() + 1 + layout.offsets[field];
        if (isBinaryNumber(info, layout.version)) {
            auto bytes = dbf::encodeBinaryNumber(info, value);
            if (!bytes) {
                fail("el valor " + shortest(value) + " no cabe en el campo " + inQuotes(info.name));
            }
            std::memcpy(target, bytes->data(), bytes->size());
        } else if (isNumericType(info.type)) {
            auto text = dbf::formatNumber(value, info.width, info.decimals);
            if (!text) {
                fail("el valor " + shortest(value) + " no cabe en el campo " + inQuotes(info.name) +
                     " (ancho " + std::to_string(info.width) + ")");
            }
            std::memcpy(target, text->data(), text->size());
        } else {
            fail("el campo " + inQuotes(info.name) + " no es numérico");
        }
        pendingNumbers[field] = value;
    }

    void postPending() {
        if (layout.recordCount == std::numeric_limits<std::uint32_t>::max()) {
            fail("la tabla no admite más registros");
        }
        const std::uint32_t newCount = layout.recordCount + 1;
        const std::uint64_t offset =
            layout.headerLength +
            static_cast<std::uint64_t>(layout.recordCount) * layout.recordLength;
        std::string bytes = pendingRecord;
        bytes += dbf::kEndOfFile;
        file.writeAt(offset, bytes.data(), bytes.size());
        auto today = platform::localToday();
        std::string header = dbf::encodeDateAndCount(newCount, today.year, today.month, today.day);
        file.writeAt(1, header.data(), header.size());
        dirty = true;

        records.appended(pendingRecord);
        layout.recordCount = newCount;
        pending = false;
        if (liveCount) ++*liveCount;
        current = newCount - 1;
        atEof = false;
        if (filterActive && passes(current)) ++filteredCount;
    }

    void postIfPending() {
        if (pending) postPending();
    }

    void load(OpenMode mode) {
        if (!platform::fileExists(path)) {
            auto parent = path.parent_path();
            if (!parent.empty() && !platform::isDirectory(parent)) {
                if (platform::pathExists(parent)) {
                    fail(platform::displayPath(parent) + " es un archivo, no una carpeta");
                }
                fail("la carpeta no existe");
            }
            if (platform::isDirectory(path)) fail("es una carpeta, no una tabla");
            // A pipe, a device or a socket: opening it for reading could wait for ever.
            if (platform::pathExists(path)) {
                fail("no es un archivo normal (es una tubería, un dispositivo o un socket)");
            }
            fail("la tabla no existe");
        }
        readOnly = mode == OpenMode::ReadOnly;
        file = platform::File::open(
            path, readOnly ? platform::OpenIntent::ReadOnly : platform::OpenIntent::ReadWrite,
            mode == OpenMode::Exclusive  ? platform::ShareMode::Exclusive
            : mode == OpenMode::ReadOnly ? platform::ShareMode::NoWriters
                                         : platform::ShareMode::Shared);
        const std::uint64_t size = file.size();
        std::uint8_t first[dbf::kFileHeaderSize] = {};
        std::size_t got = file.readAt(0, first, sizeof first);
        try {
            layout = dbf::parseFileHeader(std::span<const std::uint8_t>(first, got), size);
            std::vector<std::uint8_t> header(layout.headerLength);
            if (file.readAt(0, header.data(), header.size()) != header.size()) {
                fail("archivo dañado: la cabecera está incompleta");
            }
            dbf::parseDescriptors(header, layout);
        } catch (const dbf::FormatProblem& problem) {
            fail(problem.message);
        }
        codePage = text::CodePage::ofLanguageDriver(layout.languageDriver);
        if (!codePage.supported()) {
            fail("la tabla está en la página de códigos " + codePage.name() + ", que no se admite");
        }
        for (auto& field : layout.fields) {
            bool lost = false;
            field.name = codePage.toCp1252(field.name, lost);
        }
        // parseFileHeader checked that the records fit in the file; a file cut short later
        // is found when the missing records are read.
        records.attach(file, pathText, layout.headerLength, layout.recordLength,
                       layout.recordCount);
        liveCount.reset();
        pendingNumbers.assign(layout.fields.size(), std::nullopt);
        isOpen = true;
    }

    void release() noexcept {
        isOpen = false;
        pending = false;
        filterActive = false;
        dirty = false;
        atEof = true;
        file.close();
        memo.close();
        memoSize = 0;
        memoBlockSize = 0;
        records.detach();
        liveCount.reset();
        layout = {};
    }
};

DbfTable::DbfTable(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
    impl_->path = std::move(file);
    impl_->pathText = platform::displayPath(impl_->path);
}

DbfTable::~DbfTable() {
    try {
        close();
    } catch (...) {
        impl_->release();
    }
}

const std::filesystem::path& DbfTable::path() const noexcept { return impl_->path; }

void DbfTable::defineFields(std::vector<FieldSpec> fields) { impl_->defined = std::move(fields); }

void DbfTable::create() {
    close();
    std::vector<FieldInfo> fields;
    fields.reserve(impl_->defined.size());
    for (const auto& definition : impl_->defined) fields.push_back(dbf::fieldFor(definition));
    auto today = platform::localToday();
    std::string bytes;
    try {
        bytes = dbf::encodeHeader(fields, 0, today.year, today.month, today.day);
    } catch (const dbf::FormatProblem& problem) {
        impl_->fail(problem.message);
    }
    bytes += dbf::kEndOfFile;
    auto file = platform::File::create(impl_->path, platform::ShareMode::Exclusive);
    file.writeAt(0, bytes.data(), bytes.size());
    file.flushToDisk();
}

void DbfTable::open(OpenMode mode) {
    if (impl_->isOpen) return;
    try {
        impl_->load(mode);
        impl_->applyFilter();
    } catch (...) {
        impl_->release();
        throw;
    }
    impl_->moveFrom(0);
}

void DbfTable::close() {
    if (!impl_->isOpen) return;
    // A record appended but not posted is dropped.
    bool flush = impl_->dirty;
    try {
        if (flush) impl_->file.flushToDisk();
    } catch (...) {
        impl_->release();
        throw;
    }
    impl_->release();
}

bool DbfTable::isOpen() const noexcept { return impl_->isOpen; }

const std::vector<FieldInfo>& DbfTable::fields() const {
    impl_->requireOpen();
    return impl_->layout.fields;
}

bool DbfTable::hasField(std::string_view name) const {
    impl_->requireOpen();
    for (const auto& field : impl_->layout.fields) {
        if (dbf::sameFieldName(field.name, name)) return true;
    }
    return false;
}

int DbfTable::codePage() const {
    impl_->requireOpen();
    return impl_->codePage.number();
}

void DbfTable::requireReadable(std::string_view field) const {
    impl_->requireReadableAt(impl_->fieldIndex(field));
}

void DbfTable::setLossyTextListener(std::function<void(const LossyText&)> listener) {
    impl_->lossyListener = std::move(listener);
}

void DbfTable::append() {
    impl_->requireOpen();
    if (impl_->readOnly) impl_->fail("la tabla está abierta solo para lectura");
    impl_->postIfPending();
    impl_->pendingRecord.assign(impl_->layout.recordLength, ' ');
    // Blank is the empty value of every type but the binary ones, whose empty value is 0.
    for (std::size_t i = 0; i < impl_->layout.fields.size(); ++i) {
        const FieldInfo& info = impl_->layout.fields[i];
        if (isBinaryNumber(info, impl_->layout.version)) {
            std::memset(impl_->pendingRecord.data() + 1 + impl_->layout.offsets[i], 0,
                        static_cast<std::size_t>(info.width));
        }
    }
    impl_->pendingNumbers.assign(impl_->layout.fields.size(), std::nullopt);
    impl_->pending = true;
}

void DbfTable::setText(std::string_view field, std::string_view cp1252) {
    impl_->requirePending();
    std::size_t index = impl_->fieldIndex(field);
    const FieldInfo& info = impl_->layout.fields[index];
    const bool binary = isBinaryNumber(info, impl_->layout.version);
    if (isNumericType(info.type) || binary) {
        if (dbf::trimTrailing(cp1252).find_first_not_of(' ') == std::string_view::npos) {
            std::memset(impl_->pendingRecord.data() + 1 + impl_->layout.offsets[index],
                        binary ? 0 : ' ', static_cast<std::size_t>(info.width));
            impl_->pendingNumbers[index].reset();
            return;
        }
        auto value = dbf::parseNumber(cp1252);
        if (!value) {
            impl_->fail("el valor '" + text::cp1252ToUtf8(cp1252) +
                        "' no es un número para el campo " + inQuotes(info.name));
        }
        impl_->setNumberAt(index, *value);
        return;
    }
    if (info.type == 'L') {
        char value = cp1252.empty() ? ' ' : logicalOf(cp1252[0]);
        if (value == 0 || cp1252.size() > 1) {
            impl_->fail("el valor '" + text::cp1252ToUtf8(cp1252) +
                        "' no es lógico para el campo " + inQuotes(info.name));
        }
        impl_->pendingRecord[1 + impl_->layout.offsets[index]] = value;
        return;
    }
    if (info.type != 'C' && info.type != 'D') {
        impl_->fail("el campo " + inQuotes(info.name) + " es de tipo " + typeLetter(info.type) +
                    ", que no se puede escribir");
    }
    // Texts are stored in the table's code page, cut to the field's width and padded with
    // blanks.
    auto width = static_cast<std::size_t>(info.width);
    const std::string value = impl_->codePage.fromCp1252(cp1252, width);
    char* target = impl_->pendingRecord.data() + 1 + impl_->layout.offsets[index];
    std::memcpy(target, value.data(), value.size());
    std::memset(target + value.size(), ' ', width - value.size());
}

void DbfTable::setLogical(std::string_view field, bool value) {
    impl_->requirePending();
    std::size_t index = impl_->fieldIndex(field);
    if (impl_->layout.fields[index].type != 'L') {
        impl_->fail("el campo " + inQuotes(impl_->layout.fields[index].name) + " no es lógico");
    }
    impl_->pendingRecord[1 + impl_->layout.offsets[index]] = value ? 'T' : 'F';
}

void DbfTable::setNumber(std::string_view field, double value) {
    impl_->requirePending();
    impl_->setNumberAt(impl_->fieldIndex(field), value);
}

double DbfTable::pendingNumber(std::string_view field) const {
    impl_->requirePending();
    return impl_->pendingNumbers[impl_->fieldIndex(field)].value_or(0.0);
}

void DbfTable::post() {
    impl_->requirePending();
    impl_->postPending();
}

void DbfTable::first() {
    impl_->requireOpen();
    impl_->postIfPending();
    impl_->moveFrom(0);
}

void DbfTable::next() {
    impl_->requireOpen();
    impl_->postIfPending();
    if (!impl_->atEof) impl_->moveFrom(impl_->current + 1);
}

bool DbfTable::eof() const {
    impl_->requireOpen();
    return impl_->atEof && !impl_->pending;
}

std::size_t DbfTable::currentRecordNumber() const {
    impl_->requireOpen();
    if (impl_->pending || impl_->atEof) return impl_->layout.recordCount;
    return impl_->current;
}

void DbfTable::goTo(std::size_t recordNumber) {
    impl_->requireOpen();
    impl_->postIfPending();
    if (recordNumber >= impl_->layout.recordCount || !impl_->isLive(recordNumber)) {
        impl_->fail("no hay registro " + std::to_string(recordNumber + 1));
    }
    impl_->current = recordNumber;
    impl_->atEof = false;
}

std::string DbfTable::text(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    return impl_->textOf(impl_->currentRecord(), index, Charset::Cp1252, true);
}

std::string DbfTable::textUtf8(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    return impl_->textOf(impl_->currentRecord(), index, Charset::Utf8);
}

std::int32_t DbfTable::integer(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    const FieldInfo& info = impl_->layout.fields[index];
    std::string_view rec = impl_->currentRecord();
    if (info.type == 'I') {
        impl_->requireReadableAt(index);
        return readI32(Impl::fieldBytes(rec, impl_->layout, index));
    }
    double value = impl_->numberOf(rec, index).value_or(0.0);
    double rounded = std::nearbyint(value);  // to nearest, ties to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max())) {
        impl_->fail("el valor " + shortest(value) + " del campo " + inQuotes(info.name) +
                    " no cabe en un entero");
    }
    return static_cast<std::int32_t>(rounded);
}

double DbfTable::number(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    return impl_->numberOf(impl_->currentRecord(), index).value_or(0.0);
}

std::size_t DbfTable::recordCount() const {
    impl_->requireOpen();
    return impl_->filterActive ? impl_->filteredCount : impl_->countLive();
}

void DbfTable::filterOff() {
    impl_->filterWanted = false;
    impl_->filterActive = false;
}

void DbfTable::setFilterText(std::string filterText) {
    std::optional<Filter> parsed;
    if (!filterText.empty()) {
        parsed = parseFilter(filterText);
        if (!parsed) impl_->fail("filtro no válido: «" + filterText + "»");
    }
    impl_->filterText = std::move(filterText);
    impl_->filter = std::move(parsed);
    if (impl_->filterWanted && impl_->isOpen) filterOn();
}

void DbfTable::filterOn() {
    impl_->filterWanted = true;
    if (!impl_->isOpen) return;
    impl_->postIfPending();
    try {
        impl_->applyFilter();
    } catch (...) {
        impl_->filterWanted = false;
        impl_->filterActive = false;
        throw;
    }
    impl_->moveFrom(0);
}

}  // namespace thq::data
