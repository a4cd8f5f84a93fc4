#pragma once
// The nine work tables: file names, component names and field layouts, defined once.
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbf_table.hpp"

namespace thq::data {

enum class WorkTable {
    Asignomt,
    Asignomt2,
    Proft,
    Aulat,
    Cursost,
    Grupost,
    Asigt,
    Diashorast,
    Soluc
};

struct TableLayout {
    WorkTable table;
    std::string_view name;           // "ASIGNOMT"
    std::string_view componentName;  // "wwTableNomAsg"
    std::vector<FieldSpec> fields;   // in table order
};

const TableLayout& layoutOf(WorkTable table);

// The eight tables that the export rebuilds, in the order the export writes them.
std::span<const WorkTable> exportTables();

// folder / "NAME.DBF" and folder / "NAME.MDX".
std::filesystem::path tableFile(const std::filesystem::path& folder, WorkTable table);
std::filesystem::path indexFile(const std::filesystem::path& folder, WorkTable table);

}  // namespace thq::data
