#include "cli/csv_dump.hpp"

#include <ostream>
#include <string>

#include "data/dbf_table.hpp"
#include "data/text.hpp"

namespace thq::cli {
namespace {

void writeField(std::ostream& out, const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        out << utf8;
        return;
    }
    out << '"';
    for (char c : utf8) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

}  // namespace

void writeCsv(data::DbfTable& table, std::ostream& out) {
    const auto& fields = table.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out << ',';
        writeField(out, text::cp1252ToUtf8(fields[i].name));
    }
    out << "\r\n";
    for (table.first(); !table.eof(); table.next()) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) out << ',';
            writeField(out, text::cp1252ToUtf8(table.text(fields[i].name)));
        }
        out << "\r\n";
        if (!out) return;  // the output failed: the rest would go nowhere
    }
}

}  // namespace thq::cli
