#pragma once
#include <iosfwd>

namespace thq::data {
class DbfTable;
}

namespace thq::cli {

// Writes an open table as CSV (RFC 4180, UTF-8, CRLF line ends): a header row of field
// names, then one row per record not marked deleted; texts and memos as the table holds them
// in its own code page. A field of a type that cannot be shown throws before any output.
// Stops at the first record that the stream fails to take; the caller sees the stream's state.
void writeCsv(data::DbfTable& table, std::ostream& out);

}  // namespace thq::cli
