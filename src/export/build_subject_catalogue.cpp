// ASIGNOMT, first half: one record per distinct subject long code, under a unique short code.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void appendCatalogueRecords(ExportState& state, TableWriter<data::WorkTable::Asignomt>& table,
                            Section section) {
    const bool tasks = section == Section::Tareas;
    for (const auto& row : state.rows(section)) {
        if (!state.usable(row)) continue;
        const std::string name = row.value(1);
        const std::string longCode = row.value(2);
        if (!state.admitLongCode(longCode, row)) continue;
        const std::string code = state.allocateCode(
            state.usedShortCodes, text::firstChars(longCode, kShortCodeWidth), 3, row, longCode);
        table.append();
        table.setDerivedValue(data::ASIGNOMT::COD, code);
        table.setDocumentValue(row, data::ASIGNOMT::CODLARGO, longCode);
        table.setDocumentValue(row, data::ASIGNOMT::NOMBRE, name);
        if (tasks) table.setDocumentValue(row, data::ASIGNOMT::CODTAREA, row.value(0));
        table.setLogical(data::ASIGNOMT::ESTAREA, tasks);
        table.post();
    }
}

void BuildSubjectCatalogue(ExportState& state) {
    TableWriter<data::WorkTable::Asignomt> table(state);
    appendCatalogueRecords(state, table, Section::Materias);
    table.close();
}

}  // namespace thq::exporter
