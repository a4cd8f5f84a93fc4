#include "data/dbf_table.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "data/code_pages.hpp"
#include "data/dbf_format.hpp"
#include "data/dbf_pending_record.hpp"
#include "data/dbf_record_store.hpp"
#include "data/error.hpp"
#include "data/little_endian.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::data {
namespace {

using dbf::quotedName;

enum class Charset { Cp1252, Utf8 };

std::int32_t readI32(std::string_view raw) {
    return static_cast<std::int32_t>(
        bytes::loadU32(reinterpret_cast<const std::uint8_t*>(raw.data())));
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

// The memo file beside a table: same name, .DBT (dBase) or .FPT (FoxPro), opened at the
// first memo read.
class MemoFile {
public:
    MemoFile(const std::filesystem::path& table, const std::string& tableText)
        : table_(table), tableText_(tableText) {}

    // The table's version byte says which memo format to expect.
    void attach(std::uint8_t version) noexcept { version_ = version; }
    void close() noexcept {
        file_.close();
        size_ = 0;
        blockSize_ = 0;
    }

    // The memo a memo field points to, as the bytes of its text.
    std::string read(std::string_view raw, const FieldInfo& info) const {
        std::uint64_t block = 0;
        if (info.width == 4) {  // Visual FoxPro: a binary block number
            block = bytes::loadU32(reinterpret_cast<const std::uint8_t*>(raw.data()));
        } else {
            std::string_view digits = dbf::trimTrailing(raw);
            while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
            for (char c : digits) {
                if (c < '0' || c > '9') {
                    throw fileError(ErrorKind::DamagedTable, tableText_,
                                    "el campo " + quotedName(info.name) +
                                        " no tiene un número de bloque de "
                                        "memo válido: '" +
                                        std::string(digits) + "'");
                }
                block = block * 10 + static_cast<std::uint64_t>(c - '0');
                if (block > 0xFFFFFFFFu) break;
            }
        }
        if (block == 0) return {};
        open();
        const std::uint64_t offset = block * blockSize_;
        if (block > 0xFFFFFFFFu || offset >= size_) {
            fail("archivo de memos dañado: el bloque " + std::to_string(block) + " del campo " +
                 quotedName(info.name) + " no está en el archivo");
        }
        std::uint8_t head[8] = {};
        const std::size_t headSize = file_.readAt(offset, head, sizeof head);
        std::uint64_t start = offset;
        std::uint64_t length = 0;
        const bool fox = dbf::hasFoxProMemo(version_);
        const bool dbase4 =
            headSize == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0;
        if ((fox || dbase4) && headSize < 8) {
            fail("archivo de memos dañado: el bloque " + std::to_string(block) + " del campo " +
                 quotedName(info.name) + " está cortado");
        }
        if (fox) {
            start = offset + 8;
            length = bytes::loadU32BigEndian(head + 4);
        } else if (dbase4) {
            // dBase IV: the length counts the eight bytes of the block's head.
            start = offset + 8;
            const std::uint32_t total = bytes::loadU32(head + 4);
            length = total >= 8 ? total - 8 : 0;
        } else {
            // dBase III: the text runs to its end mark (0x1A) or to the end of the file.
            std::string text;
            char chunk[512];
            for (std::uint64_t at = offset; at < size_;) {
                const std::size_t got = file_.readAt(at, chunk, sizeof chunk);
                if (got == 0) break;
                const std::string_view part(chunk, got);
                const std::size_t end = part.find(dbf::kEndOfFile);
                text.append(part.substr(0, end));
                if (end != std::string_view::npos) break;
                at += got;
            }
            return text;
        }
        if (length > size_ - start) {
            fail("archivo de memos dañado: el memo del bloque " + std::to_string(block) +
                 " del campo " + quotedName(info.name) + " no cabe en el archivo");
        }
        std::string text(static_cast<std::size_t>(length), '\0');
        if (file_.readAt(start, text.data(), text.size()) != text.size()) {
            fail("archivo de memos dañado: el memo del bloque " + std::to_string(block) +
                 " no cabe en el archivo");
        }
        return text;
    }

private:
    // The memo file's extension in the letter case of the table's own, else in the other.
    std::filesystem::path path() const {
        const bool fox = dbf::hasFoxProMemo(version_);
        const std::string extension = table_.extension().string();
        const bool lower = !extension.empty() && extension.back() >= 'a' && extension.back() <= 'z';
        const std::string upperName = fox ? ".FPT" : ".DBT";
        const std::string lowerName = fox ? ".fpt" : ".dbt";
        auto first = table_;
        first.replace_extension(lower ? lowerName : upperName);
        if (platform::fileExists(first)) return first;
        auto second = table_;
        second.replace_extension(lower ? upperName : lowerName);
        if (platform::fileExists(second)) return second;
        return first;
    }

    [[noreturn]] void fail(const std::string& problem) const {
        throw fileError(ErrorKind::DamagedTable, platform::displayPath(file_.path()), problem);
    }

    void open() const {
        if (file_.isOpen()) return;
        const auto memoFile = path();
        if (!platform::fileExists(memoFile)) {
            throw fileError(
                ErrorKind::InputOutput, tableText_,
                "falta el archivo de memos " + platform::displayPath(memoFile.filename()));
        }
        file_ = platform::File::open(memoFile, platform::OpenIntent::ReadOnly,
                                     platform::ShareMode::NoWriters);
        size_ = file_.size();
        std::uint8_t header[24] = {};
        const std::size_t got = file_.readAt(0, header, sizeof header);
        if (dbf::hasFoxProMemo(version_)) {
            blockSize_ = got >= 8 ? bytes::loadU16BigEndian(header + 6) : 0;
        } else if (version_ == dbf::kVersionDbase3Memo) {
            blockSize_ = 512;  // dBase III memos have no block size of their own
        } else {
            blockSize_ = got >= 22 ? bytes::loadU16(header + 20) : 0;
            if (blockSize_ == 0) blockSize_ = 512;
        }
        if (blockSize_ == 0) fail("archivo de memos dañado: el tamaño de bloque es cero");
    }

    const std::filesystem::path& table_;
    const std::string& tableText_;
    std::uint8_t version_ = dbf::kVersionDbase3;
    mutable platform::File file_;
    mutable std::uint64_t size_ = 0;
    mutable std::uint32_t blockSize_ = 0;
};

// The open table's format: its layout and code page, and how a field's bytes read as a text
// or a number.
struct Format {
    Format(const std::filesystem::path& path, const std::string& pathText)
        : pathText(pathText), memo(path, pathText) {}

    const std::string& pathText;
    dbf::Layout layout;
    text::CodePage codePage;
    MemoFile memo;
    std::function<void(const LossyText&)> lossyListener;

    [[noreturn]] void fail(const std::string& problem,
                           ErrorKind kind = ErrorKind::DamagedTable) const {
        throw fileError(kind, pathText, problem);
    }

    std::size_t fieldIndex(std::string_view name) const {
        const auto& fields = layout.fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (dbf::sameFieldName(fields[i].name, name)) return i;
        }
        fail("la tabla no tiene el campo " + quotedName(name));
    }

    std::string_view fieldBytes(std::string_view record, std::size_t field) const {
        return record.substr(1 + layout.offsets[field],
                             static_cast<std::size_t>(layout.fields[field].width));
    }

    void requireReadable(std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        if (auto why = dbf::unreadableType(info, layout.version)) {
            fail("el campo " + quotedName(info.name) + " es de tipo " + dbf::typeLetter(info.type) +
                 " (" + *why + "), que no se puede leer");
        }
    }

    // A text or memo field's bytes in the table's code page, converted. With `notifyAs` (a
    // read by the caller, not a filter's), the listener hears of characters Windows-1252
    // lacks, with that record number.
    std::string convertText(std::string_view bytes, std::size_t field, Charset out,
                            std::optional<std::size_t> notifyAs) const {
        if (out == Charset::Utf8) return codePage.toUtf8(bytes);
        bool lost = false;
        std::string converted = codePage.toCp1252(bytes, lost);
        if (lost && notifyAs && lossyListener) {
            lossyListener(
                LossyText{*notifyAs, layout.fields[field].name, codePage.toUtf8(bytes), converted});
        }
        return converted;
    }

    std::string textOf(std::string_view rec, std::size_t field, Charset out = Charset::Cp1252,
                       std::optional<std::size_t> notifyAs = std::nullopt) const {
        const FieldInfo& info = layout.fields[field];
        requireReadable(field);
        std::string_view raw = fieldBytes(rec, field);
        if (dbf::isBinaryNumber(info, layout.version)) {
            if (info.type == 'Y') return dbf::currencyText(raw);
            if (info.type == 'I') return std::to_string(readI32(raw));
            auto value = dbf::binaryNumber(info, raw);
            if (!value) fail("el campo " + quotedName(info.name) + " no tiene un número válido");
            return dbf::doubleText(*value);
        }
        switch (info.type) {
            case 'N':
            case 'F':
                return dbf::numberText(raw);
            case 'L': {
                char value = dbf::logicalOf(raw[0]);
                return value == 0 ? std::string() : std::string(1, value);
            }
            case 'D':
                return dbf::trimTrailing(raw).empty() ? std::string() : std::string(raw);
            case 'M':
                return convertText(memo.read(raw, info), field, out, notifyAs);
            default:
                return convertText(dbf::trimTrailing(raw), field, out, notifyAs);
        }
    }

    // The numeric value of a field; nothing when it is empty.
    std::optional<double> numberOf(std::string_view rec, std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        requireReadable(field);
        std::string_view raw = fieldBytes(rec, field);
        if (dbf::isBinaryNumber(info, layout.version)) {
            auto value = dbf::binaryNumber(info, raw);
            if (!value) fail("el campo " + quotedName(info.name) + " no tiene un número válido");
            return value;
        }
        if (dbf::isTextMemo(info)) fail("el campo " + quotedName(info.name) + " no es numérico");
        if (dbf::trimTrailing(raw).find_first_not_of(' ') == std::string_view::npos) {
            return std::nullopt;
        }
        auto value = dbf::parseNumber(raw);
        if (!value) {
            // Only blanks are trimmed: a control character is part of what is shown.
            std::string_view shown = dbf::trimTrailing(raw);
            shown.remove_prefix(std::min(shown.find_first_not_of(' '), shown.size()));
            fail("el campo " + quotedName(info.name) + " no tiene un número válido: " +
                 text::quoted(convertText(shown, field, Charset::Utf8, std::nullopt)));
        }
        return value;
    }
};

// Where a scan of the records stands.
struct Cursor {
    std::size_t current = 0;
    bool atEof = true;
};

// The record filter: its text, whether it was switched on (it applies once the table is
// open), and, applied to the open table, the field it compares and how many records pass.
struct RecordFilter {
    std::string text;
    std::optional<Filter> expression;
    bool wanted = false;
    bool active = false;
    std::size_t field = 0;
    std::size_t passing = 0;
};

}  // namespace

struct DbfTable::Impl {
    explicit Impl(std::filesystem::path file)
        : path(std::move(file)), pathText(platform::displayPath(path)), format(path, pathText) {}

    std::filesystem::path path;
    std::string pathText;
    std::vector<FieldSpec> defined;

    platform::File file;
    bool isOpen = false;
    bool readOnly = false;
    bool dirty = false;
    Format format;
    const dbf::Layout& layout = format.layout;

    // The records, read from the file as they are asked for. A view that record() gives is
    // good only until the next record() (see RecordStore): nothing here keeps one longer.
    RecordStore records;
    // Records not marked deleted: counted at the first recordCount() (a scan of the whole
    // table), then kept up to date by post.
    mutable std::optional<std::size_t> liveCount;

    Cursor cursor;
    RecordFilter filter;
    dbf::PendingRecord pending;

    [[noreturn]] void fail(const std::string& problem,
                           ErrorKind kind = ErrorKind::DamagedTable) const {
        format.fail(problem, kind);
    }

    void requireOpen() const {
        if (!isOpen) fail("la tabla no está abierta", ErrorKind::Internal);
    }

    void requirePending() const {
        requireOpen();
        if (!pending.active()) fail("no hay ningún registro nuevo en curso", ErrorKind::Internal);
    }

    std::size_t fieldIndex(std::string_view name) const {
        requireOpen();
        return format.fieldIndex(name);
    }

    void requireField(std::size_t index) const {
        requireOpen();
        if (index >= layout.fields.size()) {
            fail("la tabla no tiene el campo número " + std::to_string(index + 1),
                 ErrorKind::Internal);
        }
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

    // The record that reads see: the one being appended, else the current one.
    std::string_view currentRecord() const {
        requireOpen();
        if (pending.active()) return pending.bytes();
        if (cursor.atEof) fail("no hay registro actual", ErrorKind::Internal);
        return record(cursor.current);
    }

    // The physical number a lossy text read is reported with.
    std::size_t readRecordNumber() const {
        return cursor.atEof || pending.active() ? layout.recordCount : cursor.current;
    }

    bool isLive(std::size_t index) const { return record(index)[0] != dbf::kDeletedFlag; }

    bool passes(std::size_t index) const {
        if (!isLive(index)) return false;
        if (!filter.active) return true;
        return format.textOf(record(index), filter.field) == filter.expression->value;
    }

    void moveFrom(std::size_t start) {
        for (std::size_t i = start; i < layout.recordCount; ++i) {
            if (passes(i)) {
                cursor.current = i;
                cursor.atEof = false;
                return;
            }
        }
        cursor.current = layout.recordCount;
        cursor.atEof = true;
    }

    void applyFilter() {
        filter.active = false;
        if (!filter.wanted || !filter.expression) return;
        filter.field = fieldIndex(filter.expression->field);
        filter.active = true;
        filter.passing = 0;
        for (std::size_t i = 0; i < layout.recordCount; ++i) {
            if (passes(i)) ++filter.passing;
        }
    }

    void postPending() {
        if (layout.recordCount == std::numeric_limits<std::uint32_t>::max()) {
            fail("la tabla no admite más registros", ErrorKind::InputOutput);
        }
        const std::uint32_t newCount = layout.recordCount + 1;
        const std::uint64_t offset =
            layout.headerLength +
            static_cast<std::uint64_t>(layout.recordCount) * layout.recordLength;
        std::string bytes = pending.bytes();
        bytes += dbf::kEndOfFile;
        file.writeAt(offset, bytes.data(), bytes.size());
        auto today = platform::localToday();
        std::string header = dbf::encodeDateAndCount(newCount, today.year, today.month, today.day);
        file.writeAt(1, header.data(), header.size());
        dirty = true;

        records.appended(pending.bytes());
        format.layout.recordCount = newCount;
        pending.clear();
        if (liveCount) ++*liveCount;
        cursor.current = newCount - 1;
        cursor.atEof = false;
        if (filter.active && passes(cursor.current)) ++filter.passing;
    }

    void postIfPending() {
        if (pending.active()) postPending();
    }

    void load(OpenMode mode) {
        if (!platform::fileExists(path)) {
            auto parent = path.parent_path();
            if (!parent.empty() && !platform::isDirectory(parent)) {
                if (platform::pathExists(parent)) {
                    fail(platform::displayPath(parent) + " es un archivo, no una carpeta",
                         ErrorKind::InputOutput);
                }
                fail("la carpeta no existe", ErrorKind::InputOutput);
            }
            if (platform::isDirectory(path))
                fail("es una carpeta, no una tabla", ErrorKind::InputOutput);
            // A pipe, a device or a socket: opening it for reading could wait for ever.
            if (platform::pathExists(path)) {
                fail("no es un archivo normal (es una tubería, un dispositivo o un socket)",
                     ErrorKind::InputOutput);
            }
            fail("la tabla no existe", ErrorKind::InputOutput);
        }
        dbf::Layout& layout = format.layout;
        text::CodePage& codePage = format.codePage;
        readOnly = mode == OpenMode::ReadOnly;
        file = platform::File::open(
            path, readOnly ? platform::OpenIntent::ReadOnly : platform::OpenIntent::ReadWrite,
            mode == OpenMode::Exclusive  ? platform::ShareMode::Exclusive
            : mode == OpenMode::ReadOnly ? platform::ShareMode::NoWriters
                                         : platform::ShareMode::Shared);
        const std::uint64_t size = file.size();
        std::uint8_t first[dbf::kFileHeaderSize] = {};
        std::size_t got = file.readAt(0, first, sizeof first);
        layout = dbf::namingFile(pathText, [&] {
            return dbf::parseFileHeader(std::span<const std::uint8_t>(first, got), size);
        });
        std::vector<std::uint8_t> header(layout.headerLength);
        if (file.readAt(0, header.data(), header.size()) != header.size()) {
            fail("archivo dañado: la cabecera está incompleta");
        }
        dbf::namingFile(pathText, [&] { dbf::parseDescriptors(header, layout); });
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
        format.memo.attach(layout.version);
        pending.attach(layout, codePage, pathText);
        isOpen = true;
    }

    void release() noexcept {
        isOpen = false;
        pending.clear();
        filter.active = false;
        dirty = false;
        cursor.atEof = true;
        file.close();
        format.memo.close();
        records.detach();
        liveCount.reset();
        format.layout = {};
    }
};

DbfTable::DbfTable(std::filesystem::path file) : impl_(std::make_unique<Impl>(std::move(file))) {}

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
    auto today = platform::localToday();
    const std::string bytes = dbf::namingFile(impl_->pathText, [&] {
        return dbf::encodeEmptyTable(impl_->defined, today.year, today.month, today.day);
    });
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

int DbfTable::codePage() const {
    impl_->requireOpen();
    return impl_->format.codePage.number();
}

void DbfTable::requireReadable(std::string_view field) const {
    impl_->format.requireReadable(impl_->fieldIndex(field));
}

void DbfTable::setLossyTextListener(std::function<void(const LossyText&)> listener) {
    impl_->format.lossyListener = std::move(listener);
}

void DbfTable::append() {
    impl_->requireOpen();
    if (impl_->readOnly)
        impl_->fail("la tabla está abierta solo para lectura", ErrorKind::Internal);
    impl_->postIfPending();
    impl_->pending.start();
}

void DbfTable::setText(std::string_view field, std::string_view cp1252) {
    impl_->requirePending();
    impl_->pending.setText(impl_->fieldIndex(field), cp1252);
}

void DbfTable::setLogical(std::string_view field, bool value) {
    impl_->requirePending();
    impl_->pending.setLogical(impl_->fieldIndex(field), value);
}

void DbfTable::setNumber(std::string_view field, double value) {
    impl_->requirePending();
    impl_->pending.setNumber(impl_->fieldIndex(field), value);
}

double DbfTable::pendingNumber(std::string_view field) const {
    impl_->requirePending();
    return impl_->pending.number(impl_->fieldIndex(field));
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
    if (!impl_->cursor.atEof) impl_->moveFrom(impl_->cursor.current + 1);
}

bool DbfTable::eof() const {
    impl_->requireOpen();
    return impl_->cursor.atEof && !impl_->pending.active();
}

std::size_t DbfTable::currentRecordNumber() const {
    impl_->requireOpen();
    return impl_->readRecordNumber();
}

void DbfTable::goTo(std::size_t recordNumber) {
    impl_->requireOpen();
    impl_->postIfPending();
    if (recordNumber >= impl_->layout.recordCount || !impl_->isLive(recordNumber)) {
        impl_->fail("no hay registro " + std::to_string(recordNumber + 1), ErrorKind::Internal);
    }
    impl_->cursor.current = recordNumber;
    impl_->cursor.atEof = false;
}

std::string DbfTable::text(std::string_view field) const { return textAt(fieldIndex(field)); }

std::string DbfTable::textUtf8(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    return impl_->format.textOf(impl_->currentRecord(), index, Charset::Utf8);
}

std::int32_t DbfTable::integer(std::string_view field) const {
    return integerAt(fieldIndex(field));
}

std::size_t DbfTable::fieldIndex(std::string_view field) const { return impl_->fieldIndex(field); }

std::string DbfTable::textAt(std::size_t index) const {
    impl_->requireField(index);
    return impl_->format.textOf(impl_->currentRecord(), index, Charset::Cp1252,
                                impl_->readRecordNumber());
}

std::int32_t DbfTable::integerAt(std::size_t index) const {
    impl_->requireField(index);
    const FieldInfo& info = impl_->layout.fields[index];
    std::string_view rec = impl_->currentRecord();
    if (info.type == 'I') {
        impl_->format.requireReadable(index);
        return readI32(impl_->format.fieldBytes(rec, index));
    }
    double value = impl_->format.numberOf(rec, index).value_or(0.0);
    double rounded = std::nearbyint(value);  // to nearest, ties to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max())) {
        impl_->fail("el valor " + dbf::shortestNumber(value) + " del campo " +
                        quotedName(info.name) + " no cabe en un entero",
                    ErrorKind::Conversion);
    }
    return static_cast<std::int32_t>(rounded);
}

std::size_t DbfTable::recordCount() const {
    impl_->requireOpen();
    return impl_->filter.active ? impl_->filter.passing : impl_->countLive();
}

void DbfTable::filterOff() {
    impl_->filter.wanted = false;
    impl_->filter.active = false;
}

void DbfTable::setFilterText(std::string filterText) {
    std::optional<Filter> parsed;
    if (!filterText.empty()) {
        parsed = parseFilter(filterText);
        if (!parsed) impl_->fail("filtro no válido: «" + filterText + "»", ErrorKind::Internal);
    }
    impl_->filter.text = std::move(filterText);
    impl_->filter.expression = std::move(parsed);
    if (impl_->filter.wanted && impl_->isOpen) filterOn();
}

void DbfTable::filterOn() {
    impl_->filter.wanted = true;
    if (!impl_->isOpen) return;
    impl_->postIfPending();
    try {
        impl_->applyFilter();
    } catch (...) {
        impl_->filter.wanted = false;
        impl_->filter.active = false;
        throw;
    }
    impl_->moveFrom(0);
}

}  // namespace thq::data
