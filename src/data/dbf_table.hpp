#pragma once
// dBase work tables: our own engine for .DBF files.
//
// Writes dBase III+ tables (version byte 0x03, Windows-1252 code-page byte 0x57) that any
// dBase reader opens; reads dBase III/IV, FoxPro and Visual FoxPro tables written by other
// programs (the timetable program's SOLUC carries a production-index flag; the index itself
// is never read). Texts cross this interface as Windows-1252 bytes: a table in another code
// page (its header's language driver says which) is converted when read and written.
// Every failure throws thq::Error naming the file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_fields.hpp"

namespace thq::data {

// A text read from a table that had characters Windows-1252 lacks: they read as '?'.
struct LossyText {
    std::size_t recordNumber = 0;  // physical, from 0
    std::string field;
    std::string original;  // the text as the table holds it, as UTF-8
    std::string read;      // what the read gave (Windows-1252)
};

enum class OpenMode {
    Shared,     // a builder's own table object
    Exclusive,  // a table component: no one else may hold the table meanwhile
    // Reading only, with read access alone (a read-only file, share or mount will do):
    // others may read the table too, no one may write it meanwhile.
    ReadOnly,
};

class DbfTable {
public:
    // Makes a table object on a file (folder / "PROFT.DBF"); nothing is touched yet.
    explicit DbfTable(std::filesystem::path file);
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    const std::filesystem::path& path() const noexcept;

    // Clears the field definitions and defines these, in order (for create()).
    void defineFields(std::vector<FieldSpec> fields);
    // Writes a new empty table with the defined fields, replacing any file of that name.
    // The table object stays closed.
    void create();

    // Open and close are idempotent. Opening takes the layout that the file holds.
    void open(OpenMode mode = OpenMode::Shared);
    void close();
    bool isOpen() const noexcept;

    // Fields of the open table, in file order (names as Windows-1252).
    const std::vector<FieldInfo>& fields() const;
    // The code page of the table's texts: its language-driver number (850, 1252...).
    int codePage() const;
    // Throws, naming the table, the field and its type, when the field's type is one this
    // engine cannot read (an OLE object, a Visual FoxPro date-time...).
    void requireReadable(std::string_view field) const;
    // Told of every text() whose characters Windows-1252 lacks.
    void setLossyTextListener(std::function<void(const LossyText&)> listener);

    // Writing: append starts a new blank record at the end; set* fill it by field name
    // (texts are cut to the field's width); post writes it to the file, where it is when
    // post returns, and makes it the current record.
    void append();
    void setText(std::string_view field, std::string_view cp1252);
    void setLogical(std::string_view field, bool value);
    void setNumber(std::string_view field, double value);
    // The number set on the record being appended (0 when not set).
    double pendingNumber(std::string_view field) const;
    void post();

    // Navigation over the records not marked deleted (and passing the filter when it is on).
    void first();
    void next();
    bool eof() const;
    // 0-based physical record number of the current record (for diagnostics).
    std::size_t currentRecordNumber() const;
    // Makes a record the current one by its physical number (as currentRecordNumber gives
    // it). A record marked deleted, or one past the end, is an error.
    void goTo(std::size_t recordNumber);

    // Reading the current record. text(): text fields without trailing blanks, memo fields
    // with the text of their memo, numbers (N, F, I, Y and Visual FoxPro's B) in their
    // shortest decimal form (a whole number without separator), logicals "T"/"F", dates as
    // stored (YYYYMMDD). integer(): rounded half to even. Empty gives "" / 0. A type this
    // engine cannot read throws (see requireReadable).
    std::string text(std::string_view field) const;
    // As text(), in UTF-8 and exactly as the table holds it, also where Windows-1252 lacks
    // a character (for showing a table).
    std::string textUtf8(std::string_view field) const;
    std::int32_t integer(std::string_view field) const;
    // The index in fields() of a field (names compare without regard to case); throws,
    // naming the table and the field, when the table has none of that name.
    std::size_t fieldIndex(std::string_view field) const;
    // text() and integer() by the field's index in fields().
    std::string textAt(std::size_t field) const;
    std::int32_t integerAt(std::size_t field) const;

    // Records that a scan from the first record visits: deleted records excluded and,
    // while the filter is on, only those that pass it.
    std::size_t recordCount() const;

    // Filter: off, set the text ("FIELD= 'value'", quotes doubled), on. Switching it on
    // moves to the first passing record. Comparison is exact and case-sensitive.
    void filterOff();
    void setFilterText(std::string filterText);
    void filterOn();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace thq::data
