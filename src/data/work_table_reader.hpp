#pragma once
// Reading an open work table through its field constants (table_fields.hpp).
//
// A table that another program wrote may hold the fields in another order, or more fields
// than ours: each field's place in the file is looked up by name the first time the field is
// read (or required) and kept, so every read after that is an index. Made on a table that is
// open, for as long as it stays open.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "data/dbf_table.hpp"
#include "data/table_fields.hpp"

namespace thq::data {

template <WorkTable Table>
class WorkTableReader {
public:
    explicit WorkTableReader(DbfTable& table) : table_(&table) { places_.fill(kNotLooked); }

    // Throws, naming the table and the field, for a field the file lacks or holds in a type
    // this engine cannot read.
    void require(std::initializer_list<TableField<Table>> fields) const {
        for (const auto& field : fields) {
            table_->requireReadable(field.name);
            place(field);
        }
    }

    // The current record's field, as DbfTable::text() and integer() read it.
    std::string text(TableField<Table> field) const { return table_->textAt(place(field)); }
    std::int32_t integer(TableField<Table> field) const { return table_->integerAt(place(field)); }

    // The table, to move between records.
    DbfTable& table() const { return *table_; }

private:
    static constexpr std::size_t kNotLooked = static_cast<std::size_t>(-1);

    std::size_t place(TableField<Table> field) const {
        std::size_t& known = places_[field.index];
        if (known == kNotLooked) known = table_->fieldIndex(field.name);
        return known;
    }

    DbfTable* table_;
    mutable std::array<std::size_t, fieldsOf(Table).size()> places_{};
};

}  // namespace thq::data
