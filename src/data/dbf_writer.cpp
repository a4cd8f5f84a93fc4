#include "data/dbf_writer.hpp"

#include <limits>
#include <span>
#include <string>
#include <utility>

#include "data/code_pages.hpp"
#include "data/dbf_format.hpp"
#include "data/dbf_pending_record.hpp"
#include "data/error.hpp"
#include "data/little_endian.hpp"
#include "data/platform_file.hpp"
#include "data/text.hpp"

namespace thq::data {
namespace {

// Records gather here before they go to the file together.
constexpr std::size_t kBufferBytes = std::size_t{256} * 1024;

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

    text::CodePage codePage;
    dbf::PendingRecord pending;

    [[noreturn]] void fail(const std::string& problem,
                           ErrorKind kind = ErrorKind::DamagedTable) const {
        throw fileError(kind, pathText, problem);
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
                 std::to_string(layout.recordLength) + " bytes (" +
                 megabytesUp(fileBytesFor(records)) +
                 " MB), más de los 2048 MB que admite un archivo dBase",
             ErrorKind::InputOutput);
    }

    void requirePending() const {
        if (!file.isOpen()) fail("la tabla no está abierta", ErrorKind::Internal);
        if (!pending.active()) fail("no hay ningún registro nuevo en curso", ErrorKind::Internal);
    }

    void requirePending(std::size_t field) const {
        requirePending();
        if (field >= layout.fields.size()) {
            fail("la tabla no tiene el campo número " + std::to_string(field + 1),
                 ErrorKind::Internal);
        }
    }

    std::size_t fieldIndex(std::string_view name) const {
        const auto& fields = layout.fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (dbf::sameFieldName(fields[i].name, name)) return i;
        }
        fail("la tabla no tiene el campo " + dbf::quotedName(name));
    }

    void writeBuffer() {
        if (buffer.empty()) return;
        file.writeAt(bufferAt, buffer.data(), buffer.size());
        bufferAt += buffer.size();
        buffer.clear();
    }

    // The layout a header describes, as a reader of the file would find it.
    void takeLayout(std::span<const std::uint8_t> header, std::uint64_t fileSize) {
        layout = dbf::namingFile(pathText, [&] {
            return dbf::parseFileHeader(header.first(dbf::kFileHeaderSize), fileSize);
        });
        if (header.size() < layout.headerLength) {
            fail("archivo dañado: la cabecera está incompleta");
        }
        dbf::namingFile(pathText,
                        [&] { dbf::parseDescriptors(header.first(layout.headerLength), layout); });
        count = layout.recordCount;
        bufferAt = layout.headerLength + count * layout.recordLength;
        codePage = text::CodePage::ofLanguageDriver(layout.languageDriver);
        if (!codePage.supported()) {
            fail("la tabla está en la página de códigos " + codePage.name() + ", que no se admite");
        }
        pending.attach(layout, codePage, pathText);
        buffer.reserve(kBufferBytes);
    }
};

DbfWriter::DbfWriter() : impl_(std::make_unique<Impl>()) {}

DbfWriter::DbfWriter(std::filesystem::path file, const std::vector<FieldSpec>& fields)
    : DbfWriter() {
    impl_->path = std::move(file);
    impl_->pathText = platform::displayPath(impl_->path);
    const auto today = platform::localToday();
    std::string bytes = dbf::namingFile(impl_->pathText, [&] {
        return dbf::encodeEmptyTable(fields, today.year, today.month, today.day);
    });
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
    if (!platform::fileExists(impl.path)) impl.fail("la tabla no existe", ErrorKind::InputOutput);
    impl.file = platform::File::open(impl.path, platform::OpenIntent::ReadWrite,
                                     platform::ShareMode::Exclusive);
    const std::uint64_t size = impl.file.size();
    std::vector<std::uint8_t> header(dbf::kFileHeaderSize);
    header.resize(impl.file.readAt(0, header.data(), header.size()));
    if (header.size() == dbf::kFileHeaderSize) {
        const std::size_t headerLength = bytes::loadU16(header.data() + 8);
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
    if (!impl_->file.isOpen()) impl_->fail("la tabla no está abierta", ErrorKind::Internal);
    if (impl_->pending.active()) post();
    impl_->pending.start();
}

const std::vector<FieldInfo>& DbfWriter::fields() const { return impl_->layout.fields; }

void DbfWriter::setText(std::string_view field, std::string_view cp1252) {
    setTextAt(impl_->fieldIndex(field), cp1252);
}

void DbfWriter::setLogical(std::string_view field, bool value) {
    setLogicalAt(impl_->fieldIndex(field), value);
}

void DbfWriter::setNumber(std::string_view field, double value) {
    setNumberAt(impl_->fieldIndex(field), value);
}

double DbfWriter::pendingNumber(std::string_view field) const {
    return pendingNumberAt(impl_->fieldIndex(field));
}

void DbfWriter::setTextAt(std::size_t field, std::string_view cp1252) {
    impl_->requirePending(field);
    impl_->pending.setText(field, cp1252);
}

void DbfWriter::setLogicalAt(std::size_t field, bool value) {
    impl_->requirePending(field);
    impl_->pending.setLogical(field, value);
}

void DbfWriter::setNumberAt(std::size_t field, double value) {
    impl_->requirePending(field);
    impl_->pending.setNumber(field, value);
}

double DbfWriter::pendingNumberAt(std::size_t field) const {
    impl_->requirePending(field);
    return impl_->pending.number(field);
}

void DbfWriter::post() {
    impl_->requirePending();
    impl_->requireRoomFor(impl_->count + 1);
    impl_->buffer += impl_->pending.bytes();
    impl_->pending.clear();
    ++impl_->count;
    if (impl_->buffer.size() >= kBufferBytes) impl_->writeBuffer();
}

std::uint64_t DbfWriter::recordCount() const { return impl_->count; }

void DbfWriter::close() {
    if (!impl_->file.isOpen()) return;
    // A record appended but not posted is dropped, as DbfTable drops it.
    impl_->pending.clear();
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
