#pragma once
// The nine work tables: file names, component names and field layouts (table_fields.hpp).
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_fields.hpp"
#include "data/table_fields.hpp"

namespace thq::data {

struct TableLayout {
    WorkTable table;
    std::string_view name;           // "ASIGNOMT"
    std::string_view componentName;  // "wwTableNomAsg"
    std::vector<FieldSpec> fields;   // fieldsOf(table), as the table engine creates them
};

const TableLayout& layoutOf(WorkTable table);

// The eight tables that the export rebuilds, in the order the export writes them.
std::span<const WorkTable> exportTables();

// folder / "NAME.DBF" and folder / "NAME.MDX".
std::filesystem::path tableFile(const std::filesystem::path& folder, WorkTable table);
std::filesystem::path indexFile(const std::filesystem::path& folder, WorkTable table);

}  // namespace thq::data
