#include "data/table_layouts.hpp"

#include <array>
#include <stdexcept>

namespace thq::data {
namespace {

struct Names {
    WorkTable table;
    std::string_view name;
    std::string_view componentName;
};

constexpr std::array<Names, 9> kNames = {{
    {WorkTable::Asignomt, "ASIGNOMT", "wwTableNomAsg"},
    {WorkTable::Asignomt2, "ASIGNOMT2", "wwTableNOMASG2"},
    {WorkTable::Proft, "PROFT", "wwTableProfesor"},
    {WorkTable::Aulat, "AULAT", "wwTableAulas"},
    {WorkTable::Cursost, "CURSOST", "wwTableCursos"},
    {WorkTable::Grupost, "GRUPOST", "wwTableGrupos"},
    {WorkTable::Asigt, "ASIGT", "wwTableAsig"},
    {WorkTable::Diashorast, "DIASHORAST", "wwTableTramos"},
    {WorkTable::Soluc, "SOLUC", "wwTableSoluc"},
}};

std::vector<TableLayout> makeLayouts() {
    std::vector<TableLayout> layouts;
    for (const auto& names : kNames) {
        std::vector<FieldSpec> fields;
        for (const auto& field : fieldsOf(names.table))
            fields.push_back({std::string(field.name), field.type, field.width});
        layouts.push_back({names.table, names.name, names.componentName, std::move(fields)});
    }
    return layouts;
}

const std::vector<TableLayout>& allLayouts() {
    static const std::vector<TableLayout> layouts = makeLayouts();
    return layouts;
}

constexpr std::array<WorkTable, 8> kExportTables = {
    WorkTable::Asignomt, WorkTable::Asignomt2, WorkTable::Proft, WorkTable::Aulat,
    WorkTable::Cursost,  WorkTable::Grupost,   WorkTable::Asigt, WorkTable::Diashorast};

}  // namespace

const TableLayout& layoutOf(WorkTable table) {
    for (const auto& layout : allLayouts()) {
        if (layout.table == table) return layout;
    }
    throw std::logic_error("unknown work table");
}

std::span<const WorkTable> exportTables() { return kExportTables; }

std::filesystem::path tableFile(const std::filesystem::path& folder, WorkTable table) {
    return folder / (std::string(layoutOf(table).name) + ".DBF");
}

std::filesystem::path indexFile(const std::filesystem::path& folder, WorkTable table) {
    return folder / (std::string(layoutOf(table).name) + ".MDX");
}

}  // namespace thq::data
