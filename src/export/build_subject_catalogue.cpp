// ASIGNOMT, first half: one record per distinct subject long code, under a unique short code.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void appendCatalogueRecords(ExportState& state, TableWriter& table, Section section) {
    const bool tasks = section == Section::Tareas;
    for (const auto& row : state.rows(section)) {
        if (!state.usable(row)) continue;
        const std::string name = row.value(1);
        const std::string longCode = row.value(2);
        if (!state.admitLongCode(longCode, row)) continue;
        const std::string code = state.allocateCode(
            state.usedShortCodes, text::firstChars(longCode, kShortCodeWidth), 3, row, longCode);
        table.append();
        table.set("COD", code);
        table.put(row, "CODLARGO", longCode);
        table.put(row, "NOMBRE", name);
        if (tasks) table.put(row, "CODTAREA", row.value(0));
        table.table().setLogical("ESTAREA", tasks);
        table.post();
    }
}

void BuildSubjectCatalogue(ExportState& state) {
    TableWriter table(state, data::WorkTable::Asignomt);
    appendCatalogueRecords(state, table, Section::Materias);
    table.close();
}

}  // namespace thq::exporter
