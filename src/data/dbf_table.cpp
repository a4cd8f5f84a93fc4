#include "data/dbf_table.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "data/dbf_format.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"

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
    bool dirty = false;
    dbf::Layout layout;
    std::string data;  // the records, recordCount * recordLength bytes
    std::size_t liveCount = 0;

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

    std::string_view record(std::size_t index) const {
        return std::string_view(data).substr(index * layout.recordLength, layout.recordLength);
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

    std::string textOf(std::string_view rec, std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        std::string_view raw = fieldBytes(rec, layout, field);
        switch (info.type) {
            case 'N':
            case 'F':
                return dbf::numberText(raw);
            case 'I':
                return std::to_string(readI32(raw));
            case 'L': {
                char value = logicalOf(raw[0]);
                return value == 0 ? std::string() : std::string(1, value);
            }
            case 'D':
                return dbf::trimTrailing(raw).empty() ? std::string() : std::string(raw);
            default:
                return std::string(dbf::trimTrailing(raw));
        }
    }

    // The numeric value of a field; nothing when it is empty.
    std::optional<double> numberOf(std::string_view rec, std::size_t field) const {
        const FieldInfo& info = layout.fields[field];
        std::string_view raw = fieldBytes(rec, layout, field);
        if (info.type == 'I') return readI32(raw);
        if (dbf::trimTrailing(raw).find_first_not_of(' ') == std::string_view::npos) {
            return std::nullopt;
        }
        auto value = dbf::parseNumber(raw);
        if (!value) {
            fail("el campo " + inQuotes(info.name) + " no tiene un número válido: '" +
                 std::string(dbf::trimTrailing(raw)) + "'");
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
        if (info.type == 'I') {
            double rounded = std::nearbyint(value);
            if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
                  rounded <= std::numeric_limits<std::int32_t>::max())) {
                fail("el valor " + shortest(value) + " no cabe en el campo " + inQuotes(info.name));
            }
            auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded));
            for (int b = 0; b < 4; ++b) target[b] = static_cast<char>((bits >> (8 * b)) & 0xFF);
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

        data += pendingRecord;
        layout.recordCount = newCount;
        pending = false;
        ++liveCount;
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
            if (!parent.empty() && !platform::isDirectory(parent)) fail("la carpeta no existe");
            if (platform::isDirectory(path)) fail("es una carpeta, no una tabla");
            fail("la tabla no existe");
        }
        file = platform::File::open(path, platform::OpenIntent::ReadWrite,
                                    mode == OpenMode::Exclusive ? platform::ShareMode::Exclusive
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
        // parseFileHeader checked that the records fit in the file.
        data.assign(static_cast<std::size_t>(layout.recordCount) * layout.recordLength, '\0');
        if (file.readAt(layout.headerLength, data.data(), data.size()) != data.size()) {
            fail("archivo dañado: el número de registros (" + std::to_string(layout.recordCount) +
                 ") no cabe en el archivo");
        }
        liveCount = 0;
        for (std::size_t i = 0; i < layout.recordCount; ++i) {
            if (isLive(i)) ++liveCount;
        }
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
        data.clear();
        data.shrink_to_fit();
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

void DbfTable::append() {
    impl_->requireOpen();
    impl_->postIfPending();
    impl_->pendingRecord.assign(impl_->layout.recordLength, ' ');
    // Blank is the empty value of every type but I, whose empty value is 0.
    for (std::size_t i = 0; i < impl_->layout.fields.size(); ++i) {
        if (impl_->layout.fields[i].type == 'I') {
            std::memset(impl_->pendingRecord.data() + 1 + impl_->layout.offsets[i], 0, 4);
        }
    }
    impl_->pendingNumbers.assign(impl_->layout.fields.size(), std::nullopt);
    impl_->pending = true;
}

void DbfTable::setText(std::string_view field, std::string_view cp1252) {
    impl_->requirePending();
    std::size_t index = impl_->fieldIndex(field);
    const FieldInfo& info = impl_->layout.fields[index];
    if (isNumericType(info.type) || info.type == 'I') {
        if (dbf::trimTrailing(cp1252).find_first_not_of(' ') == std::string_view::npos) {
            std::memset(impl_->pendingRecord.data() + 1 + impl_->layout.offsets[index],
                        info.type == 'I' ? 0 : ' ', static_cast<std::size_t>(info.width));
            impl_->pendingNumbers[index].reset();
            return;
        }
        auto value = dbf::parseNumber(cp1252);
        if (!value) {
            impl_->fail("el valor '" + std::string(cp1252) + "' no es un número para el campo " +
                        inQuotes(info.name));
        }
        impl_->setNumberAt(index, *value);
        return;
    }
    if (info.type == 'L') {
        char value = cp1252.empty() ? ' ' : logicalOf(cp1252[0]);
        if (value == 0 || cp1252.size() > 1) {
            impl_->fail("el valor '" + std::string(cp1252) + "' no es lógico para el campo " +
                        inQuotes(info.name));
        }
        impl_->pendingRecord[1 + impl_->layout.offsets[index]] = value;
        return;
    }
    // Texts are cut to the field's width and padded with blanks.
    auto width = static_cast<std::size_t>(info.width);
    std::string_view value = cp1252.substr(0, std::min(width, cp1252.size()));
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

void DbfTable::moveTo(std::size_t recordNumber) {
    impl_->requireOpen();
    impl_->postIfPending();
    if (recordNumber < impl_->layout.recordCount && impl_->passes(recordNumber)) {
        impl_->current = recordNumber;
        impl_->atEof = false;
    } else {
        impl_->current = impl_->layout.recordCount;
        impl_->atEof = true;
    }
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

std::string DbfTable::text(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    return impl_->textOf(impl_->currentRecord(), index);
}

std::int32_t DbfTable::integer(std::string_view field) const {
    std::size_t index = impl_->fieldIndex(field);
    const FieldInfo& info = impl_->layout.fields[index];
    std::string_view rec = impl_->currentRecord();
    if (info.type == 'I') return readI32(Impl::fieldBytes(rec, impl_->layout, index));
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
    return impl_->filterActive ? impl_->filteredCount : impl_->liveCount;
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
