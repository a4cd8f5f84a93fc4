#include "cli/csv_dump.hpp"

#include <ostream>
#include <string>
#include <vector>

#include "data/dbf_table.hpp"
#include "data/text.hpp"

namespace thq::cli {

void writeCsv(data::DbfTable& table, std::ostream& out) {
    // The fields a user sees: not the bookkeeping fields of Visual FoxPro. A field of a type
    // that cannot be shown stops the dump before anything is written.
    std::vector<std::string> names;
    for (const auto& field : table.fields()) {
        if (field.system) continue;
        table.requireReadable(field.name);
        names.push_back(field.name);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out << ',';
        out << text::csvField(text::cp1252ToUtf8(names[i]));
    }
    out << "\r\n";
    // Texts as the table holds them, in its own code page, converted to UTF-8 directly.
    for (table.first(); !table.eof(); table.next()) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0) out << ',';
            out << text::csvField(table.textUtf8(names[i]));
        }
        out << "\r\n";
        if (!out) return;  // the output failed: the rest would go nowhere
    }
}

}  // namespace thq::cli
