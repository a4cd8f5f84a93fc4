#pragma once
// The record being appended to a table: a blank record filled field by field, in the bytes
// the file will hold. Both the table engine (DbfTable) and the streaming writer (DbfWriter)
// build their new records with it, so a value is written the same way by either.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/code_pages.hpp"
#include "data/dbf_format.hpp"

namespace thq::data::dbf {

class PendingRecord {
public:
    // The table whose records are built: its layout and the code page of its texts (both
    // kept by the caller while attached). Problems throw thq::Error naming `pathText`.
    void attach(const Layout& layout, const text::CodePage& codePage, const std::string& pathText);

    // Starts a blank record: blanks everywhere but in the binary fields, whose empty value
    // is 0.
    void start();
    // Drops the record (nothing is written).
    void clear() noexcept { active_ = false; }
    bool active() const noexcept { return active_; }
    const std::string& bytes() const noexcept { return record_; }

    // Fill a field by its index in the layout. A text goes to a numeric field as the number
    // it reads as (blank: empty), to a logical field as its one letter, to a text field cut to
    // the field's width and padded with blanks, in the table's code page.
    void setText(std::size_t field, std::string_view cp1252);
    void setLogical(std::size_t field, bool value);
    void setNumber(std::size_t field, double value);
    // The number set on the field (0 when not set).
    double number(std::size_t field) const;

private:
    [[noreturn]] void fail(const std::string& problem,
                           ErrorKind kind = ErrorKind::Conversion) const;
    char* fieldAt(std::size_t field);

    const Layout* layout_ = nullptr;
    const text::CodePage* codePage_ = nullptr;
    const std::string* pathText_ = nullptr;
    bool active_ = false;
    std::string record_;
    std::vector<std::optional<double>> numbers_;
};

}  // namespace thq::data::dbf
