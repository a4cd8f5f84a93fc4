// ASIGNOMT, second half: the tasks appended after the subjects, sharing their registries,
// so a task never takes a subject's short code and a subject's long code is not written twice.
#include "data/text.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void AppendTaskCatalogue(ExportState& state) {
    const auto rows = state.rows(Section::Tareas);
    TableWriter table(state, data::WorkTable::Asignomt, TableWriter::Start::Append);
    for (const auto& row : rows) {
        if (!state.usable(row)) continue;
        const std::string name = row.value(1);
        const std::string longCode = row.value(2);
        const std::string taskId = row.value(0);
        if (!state.admitLongCode(longCode, row)) continue;
        const std::string code = state.allocateCode(
            state.usedShortCodes, text::firstChars(longCode, kShortCodeWidth), 3, row, longCode);
        table.append();
        table.set("COD", code);
        table.put(row, "CODLARGO", longCode);
        table.put(row, "NOMBRE", name);
        table.put(row, "CODTAREA", taskId);
        table.table().setLogical("ESTAREA", true);
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
