// ASIGNOMT, first half: one record per distinct subject long code, under a unique short code.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void BuildSubjectCatalogue(ExportState& state) {
    TableWriter table(state, data::WorkTable::Asignomt);
    for (const auto& row : state.rows(Section::Materias)) {
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
        table.table().setLogical("ESTAREA", false);
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
