// ASIGNOMT, second half: the tasks appended after the subjects, sharing their registries,
// so a task never takes a subject's short code and a subject's long code is not written twice.
#include "data/text.hpp"
#include "export/document_reader.hpp"
#include "export/export_state.hpp"

namespace thq::exporter {

void AppendTaskCatalogue(ExportState& state) {
    const auto rows = readSection(state.document, Section::Tareas);
    data::DbfTable table(data::tableFile(state.tablesFolder, data::WorkTable::Asignomt));
    table.open(data::OpenMode::Shared);
    for (const auto& row : rows) {
        if (!row.hasEnoughValues()) continue;
        const std::string name = row.value(1);
        const std::string longCode = row.value(2);
        const std::string taskId = row.value(0);
        if (!state.seenLongCodes.admit(longCode)) continue;
        const std::string code =
            AllocateShortCode(text::firstChars(longCode, kShortCodeWidth), state.usedShortCodes, 3);
        table.append();
        table.setText("COD", code);
        table.setText("CODLARGO", longCode);
        table.setText("NOMBRE", name);
        table.setText("CODTAREA", taskId);
        table.setLogical("ESTAREA", true);
        table.post();
    }
    table.close();
}

}  // namespace thq::exporter
