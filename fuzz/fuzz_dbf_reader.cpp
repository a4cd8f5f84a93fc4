// Any bytes as a .DBF file: open it, then read every field of every record as text, integer
// and number, with and without a filter. Damaged tables must end in thq::Error only.
#include <cstdint>
#include <string>

#include "data/dbf_table.hpp"
#include "data/error.hpp"
#include "data/text.hpp"
#include "fuzz_support.hpp"

namespace {

// Reads every field of every visited record in each of the three ways.
void readAll(thq::data::DbfTable& table) {
    for (table.first(); !table.eof(); table.next()) {
        (void)table.currentRecordNumber();
        for (const auto& field : table.fields()) {
            try {
                (void)table.text(field.name);
            } catch (const thq::Error&) {
            }
            try {
                (void)table.integer(field.name);
            } catch (const thq::Error&) {
            }
            try {
                (void)table.textUtf8(field.name);
            } catch (const thq::Error&) {
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto file = thq::fuzz::scratchFolder() / "FUZZ.DBF";
    thq::fuzz::writeBytes(file, data, size);
    try {
        thq::data::DbfTable table(file);
        table.open(thq::data::OpenMode::Exclusive);
        (void)table.recordCount();
        readAll(table);
        // A filter on the first field for the first record's value, then off again.
        const auto& fields = table.fields();
        if (!fields.empty()) {
            table.first();
            std::string value;
            if (!table.eof()) value = table.text(fields.front().name);
            table.setFilterText(fields.front().name + "= " + thq::text::quoteFilterValue(value));
            table.filterOn();
            (void)table.recordCount();
            readAll(table);
            table.filterOff();
            (void)table.recordCount();
        }
        table.close();
    } catch (const thq::Error&) {
    }
    return 0;
}
