#include "data/dbf_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>

#include "data/dbf_format.hpp"
#include "data/error.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::data {
namespace {

// Records gather here before they go to the file together.
constexpr std::size_t kBufferBytes = 256 * 1024;

std::string inQuotes(std::string_view name) { return "«" + std::string(name) + "»"; }

std::string shortest(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

bool isNumericType(char type) { return type == 'N' || type == 'F'; }

// A logical field's byte for a one-letter text: 'T', 'F', or 0 when it is not logical.
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

// Megabytes of 2^20 bytes, rounded up, for messages.
std::string megabytesUp(std::uint64_t bytes) {
    return std::to_string((bytes + (std::uint64_t{1} << 20) - 1) >> 20);
}

}  // namespace

struct DbfWriter::Impl {
    std::filesystem::path path;
    std::string pathText;
    platform::File file;
    dbf::Layout layout;
    std::uint64_t count = 0;     // records written or buffered
    std::string buffer;          // records not yet written, in order
    std::uint64_t bufferAt = 0;  // file offset of the buffer's first byte

    bool pending = false;
    std::string pendingRecord;
    std::vector<std::optional<double>> pendingNumbers;

    [[noreturn]] void fail(const std::string& problem) const {
        throw Error(fileMessage(pathText, problem));
    }

    std::uint64_t fileBytesFor(std::uint64_t records) const {
        return layout.headerLength + records * layout.recordLength + 1;
    }

    void requireRoomFor(std::uint64_t records) const {
        if (fileBytesFor(records) <= kLargestTableFileBytes &&
            records <= std::numeric_limits<std::uint32_t>::max()) {
            return;
        }
        fail("la tabla tendría " + std::to_string(records) + " registros de " +
             std::to_string(layout.recordLength) + " bytes (" + megabytesUp(fileBytesFor(records)) +
             " MB), más de los 2048 MB que admite un archivo dBase");
    }

    void requirePending() const {
        if (!file.isOpen()) fail("la tabla no está abierta");
        if (!pending) fail("no hay ningún registro nuevo en curso");
    }

    std::size_t fieldIndex(std::string_view name) const {
        const auto& fields = layout.fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (dbf::sameFieldName(fields[i].name, name)) return i;
        }
        fail("la tabla no tiene el campo " + inQuotes(name));
    }

    char* fieldAt(std::size_t field) { return pendingRecord.data() + 1 + layout.offsets[field]; }

    void setNumberAt(std::size_t field, double value) {
        const FieldInfo& info = layout.fields[field];
        char* target = fieldAt(field);
        if (info.type == 'I') {
            const double rounded = std::nearbyint(value);
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

    void writeBuffer() {
        if (buffer.empty()) return;
        file.writeAt(bufferAt, buffer.data(), buffer.size());
        bufferAt += buffer.size();
        buffer.clear();
    }

    // The layout a header describes, as a reader of the file would find it.
    void takeLayout(std::span<const std::uint8_t> header, std::uint64_t fileSize) {
        try {
            layout = dbf::parseFileHeader(header.first(dbf::kFileHeaderSize), fileSize);
            if (header.size() < layout.headerLength) {
                fail("archivo dañado: la cabecera está incompleta");
            }
            dbf::parseDescriptors(header.first(layout.headerLength), layout);
        } catch (const dbf::FormatProblem& problem) {
            fail(problem.message);
        }
        count = layout.recordCount;
        bufferAt = layout.headerLength + count * layout.recordLength;
        pendingNumbers.assign(layout.fields.size(), std::nullopt);
        buffer.reserve(kBufferBytes);
    }
};

DbfWriter::DbfWriter() : impl_(std::make_unique<Impl>()) {}

DbfWriter::DbfWriter(std::filesystem::path file, const std::vector<FieldSpec>& fields)
    : DbfWriter() {
    impl_->path = std::move(file);
    impl_->pathText = platform::displayPath(impl_->path);
    std::vector<FieldInfo> infos;
    infos.reserve(fields.size());
    for (const auto& definition : fields) infos.push_back(dbf::fieldFor(definition));
    const auto today = platform::localToday();
    std::string bytes;
    try {
        bytes = dbf::encodeHeader(infos, 0, today.year, today.month, today.day);
    } catch (const dbf::FormatProblem& problem) {
        impl_->fail(problem.message);
    }
    bytes += dbf::kEndOfFile;
    impl_->file = platform::File::create(impl_->path, platform::ShareMode::Exclusive);
    impl_->file.writeAt(0, bytes.data(), bytes.size());
    impl_->takeLayout(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                      bytes.size());
}

DbfWriter DbfWriter::appendTo(std::filesystem::path file) {
    DbfWriter writer;
    Impl& impl = *writer.impl_;
    impl.path = std::move(file);
    impl.pathText = platform::displayPath(impl.path);
    if (!platform::fileExists(impl.path)) impl.fail("la tabla no existe");
    impl.file = platform::File::open(impl.path, platform::OpenIntent::ReadWrite,
                                     platform::ShareMode::Exclusive);
    const std::uint64_t size = impl.file.size();
    std::vector<std::uint8_t> header(dbf::kFileHeaderSize);
    header.resize(impl.file.readAt(0, header.data(), header.size()));
    if (header.size() == dbf::kFileHeaderSize) {
        const std::size_t headerLength = dbf::readU16(header.data() + 8);
        if (headerLength > header.size()) {
            header.resize(headerLength);
            header.resize(impl.file.readAt(0, header.data(), header.size()));
        }
    }
    if (header.size() < dbf::kFileHeaderSize)
        impl.fail("archivo dañado: la cabecera está incompleta");
    impl.takeLayout(header, size);
    return writer;
}

DbfWriter::~DbfWriter() = default;
DbfWriter::DbfWriter(DbfWriter&&) noexcept = default;
DbfWriter& DbfWriter::operator=(DbfWriter&&) noexcept = default;

void DbfWriter::expectRecords(std::uint64_t records) const {
    impl_->requireRoomFor(impl_->count + records);
}

void DbfWriter::append() {
    if (!impl_->file.isOpen()) impl_->fail("la tabla no está abierta");
    if (impl_->pending) post();
    impl_->pendingRecord.assign(impl_->layout.recordLength, ' ');
    // Blank is the empty value of every type but I, whose empty value is 0.
    for (std::size_t i = 0; i < impl_->layout.fields.size(); ++i) {
        if (impl_->layout.fields[i].type == 'I') std::memset(impl_->fieldAt(i), 0, 4);
    }
    impl_->pendingNumbers.assign(impl_->layout.fields.size(), std::nullopt);
    impl_->pending = true;
}

void DbfWriter::setText(std::string_view field, std::string_view cp1252) {
    impl_->requirePending();
    const std::size_t index = impl_->fieldIndex(field);
    const FieldInfo& info = impl_->layout.fields[index];
    if (isNumericType(info.type) || info.type == 'I') {
        if (dbf::trimTrailing(cp1252).find_first_not_of(' ') == std::string_view::npos) {
            std::memset(impl_->fieldAt(index), info.type == 'I' ? 0 : ' ',
                        static_cast<std::size_t>(info.width));
            impl_->pendingNumbers[index].reset();
            return;
        }
        auto value = dbf::parseNumber(cp1252);
        if (!value) {
            impl_->fail("el valor " + text::quoted(text::cp1252ToUtf8(cp1252)) +
                        " no es un número para el campo " + inQuotes(info.name));
        }
        impl_->setNumberAt(index, *value);
        return;
    }
    if (info.type == 'L') {
        const char value = cp1252.empty() ? ' ' : logicalOf(cp1252[0]);
        if (value == 0 || cp1252.size() > 1) {
            impl_->fail("el valor " + text::quoted(text::cp1252ToUtf8(cp1252)) +
                        " no es lógico para el campo " + inQuotes(info.name));
        }
        *impl_->fieldAt(index) = value;
        return;
    }
    // Texts are cut to the field's width and padded with blanks.
    const auto width = static_cast<std::size_t>(info.width);
    const std::string_view value = cp1252.substr(0, std::min(width, cp1252.size()));
    char* target = impl_->fieldAt(index);
    std::memcpy(target, value.data(), value.size());
    std::memset(target + value.size(), ' ', width - value.size());
}

void DbfWriter::setLogical(std::string_view field, bool value) {
    impl_->requirePending();
    const std::size_t index = impl_->fieldIndex(field);
    if (impl_->layout.fields[index].type != 'L') {
        impl_->fail("el campo " + inQuotes(impl_->layout.fields[index].name) + " no es lógico");
    }
    *impl_->fieldAt(index) = value ? 'T' : 'F';
}

void DbfWriter::setNumber(std::string_view field, double value) {
    impl_->requirePending();
    impl_->setNumberAt(impl_->fieldIndex(field), value);
}

double DbfWriter::pendingNumber(std::string_view field) const {
    impl_->requirePending();
    return impl_->pendingNumbers[impl_->fieldIndex(field)].value_or(0.0);
}

void DbfWriter::post() {
    impl_->requirePending();
    impl_->requireRoomFor(impl_->count + 1);
    impl_->buffer += impl_->pendingRecord;
    impl_->pending = false;
    ++impl_->count;
    if (impl_->buffer.size() >= kBufferBytes) impl_->writeBuffer();
}

std::uint64_t DbfWriter::recordCount() const { return impl_->count; }

void DbfWriter::close() {
    if (!impl_->file.isOpen()) return;
    // A record appended but not posted is dropped, as DbfTable drops it.
    impl_->pending = false;
    impl_->buffer += dbf::kEndOfFile;
    impl_->writeBuffer();
    const auto today = platform::localToday();
    const std::string header = dbf::encodeDateAndCount(static_cast<std::uint32_t>(impl_->count),
                                                       today.year, today.month, today.day);
    impl_->file.writeAt(1, header.data(), header.size());
    impl_->file.flushToDisk();
    impl_->file.close();
}

}  // namespace thq::data
