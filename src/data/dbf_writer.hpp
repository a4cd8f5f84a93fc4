#pragma once
// Writing a table record by record without keeping its records.
//
// DbfTable keeps an open table's records in memory, which suits the tables that runs read.
// A table being built may be far larger (ASIGT pairs every subject of a course with every
// group of it): here each posted record goes to the file through a small buffer, so memory
// stays the same however many records the table gets. The bytes are the ones DbfTable
// writes: the dBase III+ header, the records, the end-of-file mark. Texts are Windows-1252.
// Every failure throws thq::Error naming the file.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "data/dbf_fields.hpp"

namespace thq::data {

// The largest file a dBase table may be: readers keep file offsets in 32 signed bits.
inline constexpr std::uint64_t kLargestTableFileBytes = (std::uint64_t{1} << 31) - 1;

class DbfWriter {
public:
    // Creates the table with these fields, replacing a file of that name.
    DbfWriter(std::filesystem::path file, const std::vector<FieldSpec>& fields);
    // Continues a table that exists, after its last record.
    static DbfWriter appendTo(std::filesystem::path file);

    // Without close() the file is left as far as it was written: for a table that is being
    // thrown away.
    ~DbfWriter();
    DbfWriter(DbfWriter&&) noexcept;
    DbfWriter& operator=(DbfWriter&&) noexcept;

    // Refuses, before anything more is written, a table that would hold more records than
    // fit in a dBase file.
    void expectRecords(std::uint64_t records) const;

    // Fields of the table, in file order.
    const std::vector<FieldInfo>& fields() const;

    // The same record operations as DbfTable's: append starts a blank record, the setters
    // fill it by field name (texts cut to the field's width), post writes it.
    void append();
    void setText(std::string_view field, std::string_view cp1252);
    void setLogical(std::string_view field, bool value);
    void setNumber(std::string_view field, double value);
    // The number set on the record being appended (0 when not set).
    double pendingNumber(std::string_view field) const;
    // The same by the field's index in fields().
    void setTextAt(std::size_t field, std::string_view cp1252);
    void setLogicalAt(std::size_t field, bool value);
    void setNumberAt(std::size_t field, double value);
    double pendingNumberAt(std::size_t field) const;
    void post();

    std::uint64_t recordCount() const;
    // Writes what is buffered, the record count and the end-of-file mark, and flushes the
    // file to disk.
    void close();

private:
    DbfWriter();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace thq::data
