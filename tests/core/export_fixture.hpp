#pragma once
// Small school documents written in the tests, and the work tables read back.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/table_layouts.hpp"
#include "test_support.hpp"

namespace thq::test {

// One `salida` value: its text and, for the intervals, its `dato` attribute.
struct Value {
    Value(const char* t) : text(t) {}             // NOLINT: rows read best as plain strings
    Value(std::string t) : text(std::move(t)) {}  // NOLINT
    std::optional<std::string> dato;
    std::string text;
};
Value dato(std::string name, std::string text);

using Row = std::vector<Value>;
struct SectionRows {
    std::string seq;
    std::vector<Row> rows;
};

// A UTF-8 SERVICIO document with these sections, in this order.
std::string schoolXml(const std::vector<SectionRows>& sections);

// A record as field name -> text read back (Windows-1252 converted to UTF-8).
using Record = std::map<std::string, std::string>;
std::vector<Record> readTable(const std::filesystem::path& file);

// A temporary document and work folder.
class ExportFixture {
public:
    ExportFixture();
    const std::filesystem::path& work() const { return work_; }
    const std::filesystem::path& document() const { return document_; }
    // Writes the document and runs the export (errors propagate).
    void exportXml(const std::string& xml);
    std::vector<Record> table(data::WorkTable table) const;
    // One field of every record, in record order.
    std::vector<std::string> column(data::WorkTable table, const std::string& field) const;

private:
    TempDir dir_;
    std::filesystem::path work_;
    std::filesystem::path document_;
};

}  // namespace thq::test
